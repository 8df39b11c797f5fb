#pragma once

#include "qbxml/RequestSet.h"
#include "qbxml/ResponseSet.h"

#include <QDate>

#include <functional>
#include <memory>
#include <optional>

namespace corvina {

struct QuickBooksLink;

// How a retrieval asks QuickBooks for one list. A host that speaks qbXML 5.0 or later is
// asked page by page with an iterator (customers, items, invoices); invoices from a host that
// reports only older versions are asked one date window at a time; otherwise (sales reps, a
// host that does not say) one request brings everything, as it always has. One request goes
// out per page, and each page's answer is dropped when the next is asked for, so memory stays
// bounded by the page rather than by the company.
class PagedQuery {
public:
    enum class Mode { Single, Iterator, DateWindows };

    // Records per iterator page, and the invoices a date window aims at.
    static constexpr int kPageSize = 250;

    // Invoice queries ask for line items; `from` and `to` bound their dates (either may be
    // open). `today` anchors the date windows of an open end.
    PagedQuery(QuickBooksLink &link, qb::QueryKind kind, std::optional<QDate> from = {},
               std::optional<QDate> to = {}, QDate today = QDate::currentDate());

    // The records of `kind` (customers, items or invoices) modified at or after `since`:
    // lists of every status, invoices with their lines. Paged with an iterator as above; a
    // host without iterators gets one request, since the changes of a day are few.
    static PagedQuery changedSince(QuickBooksLink &link, qb::QueryKind kind,
                                   const qb::DateTime &since)
    {
        return PagedQuery(link, kind, since);
    }

    Mode mode() const noexcept { return m_mode; }

    // Sends the requests for the next page and returns its response (valid until the next
    // call), or null once every record has been handed out. The first call always returns a
    // response; a status other than 0 on it is QuickBooks' answer to the whole query (1 when
    // nothing matched). A later response with a status other than 0 is a failure part-way.
    const qb::Response *next();

    // The records of this page and of those still to come, when the host says (iterators);
    // for a single request, this page's count.
    std::optional<int> knownTotal() const;
    // The date window of the current page (date windows only).
    std::optional<QDate> windowFrom() const { return m_windowFrom; }
    std::optional<QDate> windowTo() const { return m_windowTo; }

private:
    PagedQuery(QuickBooksLink &link, qb::QueryKind kind, const qb::DateTime &since);
    const qb::Response &send(qb::RequestSet &set,
                             const std::function<void(QByteArrayView)> &arrived = {});
    // The query of one request, with the filters of this retrieval.
    qb::Query &appendQuery(qb::RequestSet &set) const;
    const qb::Response *nextIteratorPage();
    // The request of an iterator page: the first (no id), or the next of iterator `id`.
    std::unique_ptr<qb::RequestSet> iteratorRequest(const QString &id) const;
    const qb::Response *nextWindow();
    // True when an invoice dated before `day` exists (within the period's lower bound).
    bool anyBefore(QDate day, const qb::Response **failure);
    void fillInvoiceQuery(qb::InvoiceQuery &query, std::optional<QDate> from,
                          std::optional<QDate> to) const;

    QuickBooksLink &m_link;
    qb::QueryKind m_kind;
    std::optional<QDate> m_from, m_to;
    std::optional<qb::DateTime> m_since;
    QDate m_today;
    Mode m_mode = Mode::Single;
    QVersionNumber m_version;
    std::optional<qb::ResponseSet> m_answer;
    const qb::Response *m_current = nullptr;
    int m_pages = 0;
    bool m_done = false;
    // Iterators.
    QString m_iteratorId;
    // The next page's request, announced to the host while the caller writes this page.
    std::unique_ptr<qb::RequestSet> m_ahead;
    // Date windows, walked from the newest back.
    std::optional<QDate> m_windowFrom, m_windowTo;
    int m_windowDays = 31;
    bool m_handedOut = false; // a window's response has gone to the caller
};

} // namespace corvina
