#include "retrieval/PagedQuery.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"
#include "state/QuickBooksLink.h"

#include <algorithm>

namespace corvina {

namespace {

// Date windows grow or shrink by halves to hold about a page of invoices, within these.
constexpr int kMinWindowDays = 1;
constexpr int kMaxWindowDays = 3660;
// No invoice is looked for before this day when the period has no start.
const QDate kEarliest(1900, 1, 1);

} // namespace

PagedQuery::PagedQuery(QuickBooksLink &link, qb::QueryKind kind, std::optional<QDate> from,
                       std::optional<QDate> to, QDate today)
    : m_link(link), m_kind(kind), m_from(from), m_to(to), m_today(today)
{
    if (kind == qb::QueryKind::SalesRep)
        return;
    const QList<QVersionNumber> versions = link.sessionManager->supportedQbxmlVersions();
    m_version = qb::iteratorVersionFor(versions);
    if (!m_version.isNull())
        m_mode = Mode::Iterator;
    else if (!versions.isEmpty() && kind == qb::QueryKind::Invoice && !(from && to && *from > *to))
        m_mode = Mode::DateWindows; // a reversed period is left to QuickBooks to refuse
}

PagedQuery::PagedQuery(QuickBooksLink &link, qb::QueryKind kind, const qb::DateTime &since)
    : m_link(link), m_kind(kind), m_since(since), m_today(QDate::currentDate())
{
    m_version = qb::iteratorVersionFor(link.sessionManager->supportedQbxmlVersions());
    if (!m_version.isNull())
        m_mode = Mode::Iterator;
}

qb::Query &PagedQuery::appendQuery(qb::RequestSet &set) const
{
    qb::Query *query = nullptr;
    switch (m_kind) {
    case qb::QueryKind::Customer: query = &set.appendCustomerQuery(); break;
    case qb::QueryKind::Item: query = &set.appendItemQuery(); break;
    case qb::QueryKind::SalesRep: query = &set.appendSalesRepQuery(); break;
    case qb::QueryKind::Invoice: {
        qb::InvoiceQuery &invoices = set.appendInvoiceQuery();
        fillInvoiceQuery(invoices, m_from, m_to);
        query = &invoices;
        break;
    }
    case qb::QueryKind::TxnDeleted:
    case qb::QueryKind::ListDeleted:
        throw Error(qb::hr::kInvalidArgument,
                    QStringLiteral("Deleted records are not asked for page by page."));
    }
    if (m_since && m_kind != qb::QueryKind::Invoice) {
        query->setActiveStatus(qb::ActiveStatus::All);
        query->setFromModifiedDate(*m_since);
    }
    return *query;
}

void PagedQuery::fillInvoiceQuery(qb::InvoiceQuery &query, std::optional<QDate> from,
                                  std::optional<QDate> to) const
{
    query.setIncludeLineItems(true);
    if (m_since) {
        query.setFromModifiedDate(*m_since);
        return;
    }
    if (from)
        query.setFromTxnDate(*from);
    if (to)
        query.setToTxnDate(*to);
}

const qb::Response &PagedQuery::send(qb::RequestSet &set,
                                     const std::function<void(QByteArrayView)> &arrived)
{
    m_current = nullptr;
    m_answer.reset(); // the previous page goes before the next arrives
    m_answer = m_link.sessionManager->doRequests(set, arrived);
    if (m_answer->count() == 0)
        throw Error(qb::hr::kInvalidData,
                    QStringLiteral("QuickBooks answered without any response."));
    m_current = &m_answer->response(0);
    return *m_current;
}

std::optional<int> PagedQuery::knownTotal() const
{
    if (!m_current)
        return std::nullopt;
    if (m_mode == Mode::Single)
        return m_current->count();
    if (m_mode == Mode::Iterator && m_current->iteratorRemainingCount())
        return m_current->count() + *m_current->iteratorRemainingCount();
    return std::nullopt;
}

const qb::Response *PagedQuery::next()
{
    if (m_done)
        return nullptr;
    ++m_pages;
    switch (m_mode) {
    case Mode::Iterator: return nextIteratorPage();
    case Mode::DateWindows: return nextWindow();
    case Mode::Single: break;
    }
    if (m_pages > 1) {
        m_done = true;
        m_answer.reset();
        return nullptr;
    }
    qb::RequestSet &set = *m_link.requests;
    if (m_kind != qb::QueryKind::SalesRep)
        set.clear(); // the rep retrieval sends on the set OpenQB has just made
    set.setOnError(qb::OnError::Continue);
    appendQuery(set);
    return &send(set);
}

std::unique_ptr<qb::RequestSet> PagedQuery::iteratorRequest(const QString &id) const
{
    auto set = m_link.sessionManager->createMsgSetRequest(m_version.majorVersion(),
                                                          m_version.minorVersion());
    set->setOnError(qb::OnError::Continue);
    qb::Query *query = &appendQuery(*set);
    query->setMaxReturned(kPageSize);
    if (id.isEmpty())
        query->setIterator(qb::Iterator::Start);
    else
        query->setIterator(qb::Iterator::Continue, id);
    return set;
}

const qb::Response *PagedQuery::nextIteratorPage()
{
    const bool first = m_pages == 1;
    if (!first && (!m_current || m_current->iteratorRemainingCount().value_or(0) <= 0 ||
                   m_iteratorId.isEmpty())) {
        m_done = true;
        m_answer.reset();
        m_ahead.reset();
        return nullptr;
    }
    const std::unique_ptr<qb::RequestSet> set =
        m_ahead ? std::move(m_ahead) : iteratorRequest(first ? QString() : m_iteratorId);
    // The next page goes out as soon as this one's head says records remain: the host fetches
    // it while this page is parsed and written.
    const qb::Response &response = send(*set, [this](QByteArrayView answer) {
        const auto head = qb::ResponseSet::peekFirst(answer);
        if (!head || head->statusCode != 0 || head->iteratorRemainingCount.value_or(0) <= 0 ||
            !head->iteratorId || head->iteratorId->isEmpty())
            return;
        m_ahead = iteratorRequest(*head->iteratorId);
        m_link.sessionManager->sendAhead(*m_ahead);
    });
    if (response.iteratorId())
        m_iteratorId = *response.iteratorId();
    if (!first && response.statusCode() == 1 && response.count() == 0) {
        // An empty last page ("no match") ends the list; it is no failure.
        m_done = true;
        m_answer.reset();
        m_ahead.reset();
        return nullptr;
    }
    if (!response.iteratorRemainingCount() || *response.iteratorRemainingCount() == 0) {
        m_iteratorId.clear();
        m_ahead.reset(); // an announced page nobody asks for is dropped with the session
    }
    return &response;
}

bool PagedQuery::anyBefore(QDate day, const qb::Response **failure)
{
    if ((m_from && day <= *m_from) || day <= kEarliest)
        return false;
    qb::RequestSet &set = *m_link.requests;
    set.clear();
    set.setOnError(qb::OnError::Continue);
    qb::InvoiceQuery &probe = set.appendInvoiceQuery();
    probe.setMaxReturned(1);
    if (m_from)
        probe.setFromTxnDate(*m_from);
    probe.setToTxnDate(day.addDays(-1));
    const qb::Response &response = send(set);
    if (response.statusCode() == 0)
        return response.count() > 0;
    if (response.statusCode() != 1)
        *failure = &response;
    return false;
}

const qb::Response *PagedQuery::nextWindow()
{
    for (;;) {
        // The next window back from the one before (or from the period's end).
        std::optional<QDate> to;
        if (m_pages == 1 && !m_windowFrom) {
            to = m_to;
        } else {
            if (!m_windowFrom || (m_from && *m_windowFrom <= *m_from)) {
                m_done = true;
                break;
            }
            if (m_current && m_current->count() == 0) {
                const qb::Response *failure = nullptr;
                if (!anyBefore(*m_windowFrom, &failure)) {
                    if (failure)
                        return failure;
                    m_done = true;
                    break;
                }
            }
            to = m_windowFrom->addDays(-1);
        }
        const QDate end = to.value_or(std::max(m_today, m_from.value_or(m_today)));
        QDate from = end.addDays(1 - m_windowDays);
        if (m_from && from < *m_from)
            from = *m_from;
        if (!m_from && from < kEarliest)
            from = kEarliest;
        m_windowFrom = from;
        m_windowTo = to;

        qb::RequestSet &set = *m_link.requests;
        set.clear();
        set.setOnError(qb::OnError::Continue);
        // Before the earliest day looked at, the first window stays open: nothing is lost
        // when the period has no start and an invoice is dated that early.
        const std::optional<QDate> lower =
            (!m_from && from == kEarliest) ? std::nullopt : std::optional<QDate>(from);
        fillInvoiceQuery(set.appendInvoiceQuery(), lower, to);
        const qb::Response &response = send(set);
        const int count = response.count();
        if (count < kPageSize / 2)
            m_windowDays = std::min(kMaxWindowDays, m_windowDays * 2);
        else if (count > kPageSize * 2)
            m_windowDays = std::max(kMinWindowDays, m_windowDays / 2);
        if (!lower)
            m_done = true;
        if (response.statusCode() == 1 && count == 0) {
            if (m_done)
                break;
            continue; // an empty window
        }
        m_handedOut = true;
        return &response;
    }
    // Nothing more. When nothing was found at all, the host's last "no match" stands for the
    // whole query, as the answer to a single request would.
    if (!m_handedOut && m_current && m_current->statusCode() == 1) {
        m_handedOut = true;
        return m_current;
    }
    m_answer.reset();
    m_current = nullptr;
    return nullptr;
}

} // namespace corvina
