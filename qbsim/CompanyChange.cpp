#include "qbsim/CompanyChange.h"

#include "base/Error.h"
#include "qbsim/CompanyChangeModel.h"

#include <QByteArrayMatcher>
#include <QDateTime>
#include <QTimeZone>

#include <algorithm>

namespace corvina::qbsim {

using namespace Qt::Literals::StringLiterals;

namespace change {

namespace {

// The day's work runs from 08:00 to 18:00, or over the whole day when there is more of it.
constexpr int kWorkStart = 8 * 3600;
constexpr int kWorkEnd = 18 * 3600;

// The hexadecimal sequence before the dash of a QuickBooks identifier; 0 when there is none.
std::uint64_t sequenceOf(const QString &id)
{
    bool ok = false;
    const std::uint64_t value = id.section(u'-', 0, 0).toULongLong(&ok, 16);
    return ok ? value : 0;
}

QString offsetText(int offset)
{
    const int minutes = std::abs(offset) / 60;
    return (offset < 0 ? u"-"_s : u"+"_s) +
           u"%1:%2"_s.arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}

QByteArray indentBefore(const QByteArray &data, qsizetype at)
{
    qsizetype from = at;
    while (from > 0 && (data[from - 1] == ' ' || data[from - 1] == '\t'))
        --from;
    if (from > 0 && data[from - 1] != '\n')
        return {};
    return data.sliced(from, at - from);
}

} // namespace

std::optional<qint64> parseHundredths(const QString &text)
{
    const QString t = text.trimmed();
    const qsizetype dot = t.indexOf(u'.');
    const QString whole = dot < 0 ? t : t.first(dot);
    QString fraction = dot < 0 ? QString() : t.sliced(dot + 1);
    if (fraction.size() > 2 || (dot >= 0 && fraction.isEmpty()))
        return std::nullopt;
    fraction = fraction.leftJustified(2, u'0');
    bool okWhole = false, okFraction = false;
    const qint64 units = whole.toLongLong(&okWhole);
    const qint64 cents = fraction.toLongLong(&okFraction);
    if (!okWhole || !okFraction || fraction.startsWith(u'-') || fraction.startsWith(u'+'))
        return std::nullopt;
    const bool negative = whole.startsWith(u'-');
    return units * 100 + (negative ? -cents : cents);
}

// Gives every reference (…Ref with a ListID) to a renamed record its new FullName, and a
// renamed record itself its FullName; true when anything changed.
bool rename(Element &element, const QHash<QString, QString> &names, bool isRecord)
{
    bool changed = false;
    const QString id = element.childText(u"ListID");
    const bool isRef = element.name.endsWith(u"Ref"_s);
    if ((isRef || isRecord) && names.contains(id)) {
        Element *full = element.child(u"FullName");
        if (full && full->text != names[id]) {
            full->text = names[id];
            changed = true;
        }
    }
    for (Element &child : element.children) {
        if (!child.children.empty())
            changed = rename(child, names, false) || changed;
    }
    return changed;
}

Changer::Changer(const CompanyFile &company, const ChangeOptions &options)
    : m_company(company), m_options(options), m_random(options.seed)
{
    if (company.latestTime() == kNoTime)
        throw Error(errc::kFileFailure,
                    u"The company file %1 holds no TimeCreated or TimeModified for the changes "
                    "to follow."_s.arg(company.path()));
    if (!company.section(Section::Customers).present() ||
        !company.section(Section::Invoices).present())
        throw Error(
            errc::kFileFailure,
            u"The company file %1 holds no customer or no invoice list."_s.arg(company.path()));
    const auto adopt = [&](const auto &from, std::vector<Record> &to, bool parse) {
        to.reserve(from.size());
        for (const auto &record : from) {
            Record r;
            r.span = record.xml;
            if (parse)
                r.tree = parseElement(company.xml(record.xml));
            to.push_back(std::move(r));
        }
    };
    adopt(company.customers(), m_customers, true);
    adopt(company.items(), m_items, true);
    adopt(company.invoices(), m_invoices, false);

    for (const ListRecord &record : company.customers())
        m_listSequence = std::max(m_listSequence, sequenceOf(record.listId));
    for (const ListRecord &record : company.items())
        m_listSequence = std::max(m_listSequence, sequenceOf(record.listId));
    for (const InvoiceRecord &invoice : company.invoices()) {
        m_txnSequence = std::max(m_txnSequence, sequenceOf(invoice.txnId));
        qsizetype digits = invoice.refNumber.size();
        while (digits > 0 && invoice.refNumber[digits - 1].isDigit())
            --digits;
        m_refNumber = std::max(m_refNumber, invoice.refNumber.sliced(digits).toLongLong());
    }
    const QByteArray &data = company.data();
    const QByteArrayMatcher txnNumber("<TxnNumber>");
    for (qsizetype at = txnNumber.indexIn(data); at >= 0; at = txnNumber.indexIn(data, at + 1)) {
        const qsizetype from = at + 11;
        const qsizetype end = data.indexOf('<', from);
        m_txnNumber = std::max(m_txnNumber, data.sliced(from, end - from).trimmed().toLongLong());
    }

    // The day after the latest time, in the company's own time.
    const int offset = company.latestOffset();
    m_day = QDateTime::fromSecsSinceEpoch(company.latestTime() + offset, QTimeZone::utc())
                .date()
                .addDays(1);
    const qint64 count = qint64(options.edits) + options.deletions + options.additions;
    const bool office = count <= kWorkEnd - kWorkStart;
    const qint64 start = office ? kWorkStart : 0;
    const qint64 span = office ? kWorkEnd - kWorkStart : 86400;
    if (count > span)
        throw Error(errc::kFileFailure,
                    u"%1 changes do not fit in a day's seconds."_s.arg(QString::number(count)));
    std::vector<qint64> seconds;
    seconds.reserve(static_cast<std::size_t>(count));
    for (qint64 i = 0; i < count; ++i)
        seconds.push_back(m_random.below(span - count + 1));
    std::sort(seconds.begin(), seconds.end());
    const qint64 midnight =
        (m_day.toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400 - offset;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 local = start + seconds[static_cast<std::size_t>(i)] + i;
        const qint64 epoch = midnight + local;
        const QDateTime wall = QDateTime::fromSecsSinceEpoch(epoch + offset, QTimeZone::utc());
        m_stamps.push_back({epoch, wall.toString(u"yyyy-MM-ddTHH:mm:ss"_s) + offsetText(offset)});
    }
}

Element &Changer::tree(Record &record)
{
    if (!record.tree) {
        record.tree = parseElement(m_company.xml(record.span));
        if (!m_renamed.isEmpty())
            rename(*record.tree, m_renamed, true);
    }
    return *record.tree;
}

Stamp Changer::nextStamp()
{
    // There is a stamp for every operation asked for; one that found nothing to do leaves its
    // own unused.
    Q_ASSERT(m_nextStamp < m_stamps.size());
    return m_stamps[std::min(m_nextStamp++, m_stamps.size() - 1)];
}

void Changer::stamp(Element &element, const Stamp &when)
{
    element.setChildText(u"TimeModified", when.text);
    element.setChildText(u"EditSequence", QString::number(when.epoch));
}

QString Changer::newListId(const Stamp &when)
{
    return gen::sequenceId(++m_listSequence, when.epoch);
}

QString Changer::newTxnId(const Stamp &when)
{
    return gen::sequenceId(++m_txnSequence, when.epoch);
}

QString Changer::parentId(Record &record)
{
    const Element *parent = tree(record).child(u"ParentRef");
    return parent ? parent->childText(u"ListID") : QString();
}

std::vector<Record *> Changer::descendants(std::vector<Record> &list, const QString &listId)
{
    std::vector<Record *> found;
    QSet<QString> ids{listId};
    // Parents come before their children in a list, but a customer made a job of another
    // may sit anywhere: go round until nothing new turns up.
    for (bool grew = true; grew;) {
        grew = false;
        for (Record &record : list) {
            if (record.removed || !ids.contains(parentId(record)))
                continue;
            const QString id = tree(record).childText(u"ListID");
            if (ids.contains(id))
                continue;
            ids.insert(id);
            found.push_back(&record);
            grew = true;
        }
    }
    return found;
}

bool Changer::nameTaken(std::vector<Record> &list, const QString &fullName)
{
    const QString folded = fullName.toCaseFolded();
    return std::any_of(list.begin(), list.end(), [&](Record &record) {
        if (record.removed)
            return false;
        const Element &e = tree(record);
        const QString name = e.child(u"FullName") ? e.childText(u"FullName") : e.childText(u"Name");
        return name.toCaseFolded() == folded;
    });
}

void Changer::renameEverywhere(const QHash<QString, QString> &names)
{
    // Records already read follow at once; the others when they are read, or at the end.
    for (auto it = names.begin(); it != names.end(); ++it)
        m_renamed.insert(it.key(), it.value());
    for (std::vector<Record> *list : {&m_customers, &m_items, &m_invoices}) {
        for (Record &record : *list) {
            if (!record.removed && record.tree)
                rename(*record.tree, names, true);
        }
    }
}

void Changer::renameUnread()
{
    if (m_renamed.isEmpty())
        return;
    // One pass over the file's ListIDs finds the records that name a renamed one.
    const QByteArray &data = m_company.data();
    const QByteArrayMatcher open("<ListID>");
    std::vector<qsizetype> hits;
    for (qsizetype at = open.indexIn(data); at >= 0; at = open.indexIn(data, at + 1)) {
        const qsizetype from = at + 8;
        const qsizetype end = data.indexOf('<', from);
        if (end < 0)
            break;
        if (m_renamed.contains(QString::fromUtf8(data.sliced(from, end - from).trimmed())))
            hits.push_back(at);
    }
    for (std::vector<Record> *list : {&m_customers, &m_items, &m_invoices}) {
        for (Record &record : *list) {
            if (record.removed || record.tree || record.added)
                continue;
            const auto hit = std::lower_bound(hits.begin(), hits.end(), record.span.begin);
            if (hit != hits.end() && *hit < record.span.end)
                tree(record);
        }
    }
}

void Changer::appendRecord(QByteArray &out, const Record &record, QByteArrayView indent) const
{
    if (record.tree)
        writeElement(out, *record.tree, indent);
    else
        out.append(m_company.xml(record.span));
}

void Changer::writeSection(QByteArray &out, Section section, const std::vector<Record> &records,
                           const std::vector<Element> &added)
{
    const QByteArray &data = m_company.data();
    const SectionSpan &span = m_company.section(section);
    const QByteArray sectionIndent = indentBefore(data, span.element.begin);
    QByteArray indent = sectionIndent + "  ";
    if (!records.empty() && !records.front().added)
        indent = indentBefore(data, records.front().span.begin);
    QByteArray startTag = data.sliced(span.element.begin, span.contentBegin - span.element.begin);
    if (startTag.endsWith("/>"))
        startTag = startTag.chopped(2).trimmed() + '>';
    const QByteArray name = startTag.sliced(1).split(' ').front().split('>').front();
    out.append(startTag);
    for (const Record &record : records) {
        if (!record.removed) {
            out.append('\n').append(indent);
            appendRecord(out, record, indent);
        }
    }
    for (const Element &element : added) {
        out.append('\n').append(indent);
        writeElement(out, element, indent);
    }
    out.append('\n').append(sectionIndent).append("</").append(name).append('>');
}

QByteArray Changer::write()
{
    const QByteArray &data = m_company.data();
    const std::vector<Record> none;
    std::vector<Record> deletedTxns, deletedLists;
    for (const DeletedRecord &record : m_company.deletedTxns())
        deletedTxns.push_back({record.xml, {}, false, false, false});
    for (const DeletedRecord &record : m_company.deletedLists())
        deletedLists.push_back({record.xml, {}, false, false, false});
    const std::vector<Element> noElements;
    struct Part {
        Section section;
        const std::vector<Record> *records;
        const std::vector<Element> *added;
    };
    std::vector<Part> parts = {
        {Section::Customers, &m_customers, &noElements},
        {Section::Invoices, &m_invoices, &noElements},
        {Section::Items, &m_items, &noElements},
        {Section::DeletedTxns, &deletedTxns, &m_deletedTxns},
        {Section::DeletedLists, &deletedLists, &m_deletedLists},
    };
    std::erase_if(parts, [&](const Part &p) {
        return !m_company.section(p.section).present() && p.added->empty();
    });
    std::sort(parts.begin(), parts.end(), [&](const Part &a, const Part &b) {
        const auto at = [&](const Part &p) {
            const SectionSpan &s = m_company.section(p.section);
            return s.present() ? s.element.begin : m_company.messagesEnd();
        };
        return at(a) < at(b);
    });

    QByteArray out;
    out.reserve(data.size() + data.size() / 50 + 4096);
    qsizetype from = 0;
    for (const Part &part : parts) {
        const SectionSpan &span = m_company.section(part.section);
        if (span.present()) {
            out.append(QByteArrayView(data).sliced(from, span.element.begin - from));
            writeSection(out, part.section, *part.records, *part.added);
            from = span.element.end;
            continue;
        }
        // A list the file lacks goes last among the answers.
        out.append(QByteArrayView(data).sliced(from, m_company.messagesEnd() - from));
        from = m_company.messagesEnd();
        const QByteArray outer = indentBefore(data, from);
        const QByteArray inner = outer + "  ";
        const QByteArray name =
            part.section == Section::DeletedTxns ? "TxnDeletedQueryRs" : "ListDeletedQueryRs";
        out.append("  <" + name +
                   " statusCode=\"0\" statusSeverity=\"Info\" statusMessage=\"Status OK\">");
        for (const Element &element : *part.added) {
            out.append('\n').append(inner).append("  ");
            writeElement(out, element, inner + "  ");
        }
        out.append('\n').append(inner).append("</" + name + ">\n").append(outer);
    }
    out.append(QByteArrayView(data).sliced(from));
    return out;
}

QByteArray Changer::run(QStringList *log)
{
    // Deletions first, so that nothing added or edited later refers to what is gone.
    for (int i = 0; i < m_options.deletions; ++i) {
        const bool list = i % 3 == 2;
        if (!(list && deleteUnused()) && !deleteInvoice())
            note(u"no deletion: nothing left to delete"_s);
    }
    using Edit = bool (Changer::*)();
    static const Edit edits[] = {
        &Changer::editAmounts,   &Changer::addLine,        &Changer::removeLine,
        &Changer::moveDate,      &Changer::renameCustomer, &Changer::deactivateCustomer,
        &Changer::customerToJob, &Changer::renameItem,
    };
    constexpr int kinds = static_cast<int>(std::size(edits));
    constexpr int invoiceKinds = 4; // the first four edit invoices, the others lists
    // The first edits go round every kind; after them most of a day's edits are to invoices,
    // one in ten to a list.
    const int first = static_cast<int>(m_random.below(kinds));
    for (int i = 0; i < m_options.edits; ++i) {
        int kind = (first + i) % kinds;
        if (i >= kinds)
            kind = i % 10 == 0
                       ? invoiceKinds + static_cast<int>(m_random.below(kinds - invoiceKinds))
                       : static_cast<int>(m_random.below(invoiceKinds));
        bool done = false;
        for (int k = 0; k < kinds && !done; ++k)
            done = (this->*edits[(kind + k) % kinds])();
        if (!done)
            note(u"no edit: nothing left to edit"_s);
    }
    for (int i = 0; i < m_options.additions; ++i) {
        if (i % 3 != 2)
            addInvoice();
        else
            addCustomer(m_random.chance(50));
    }
    // QuickBooks lists customers by name, each job right after its customer.
    // Every customer is read as a tree from the start.
    std::stable_sort(m_customers.begin(), m_customers.end(), [](const Record &a, const Record &b) {
        return gen::sortKey(a.tree->childText(u"FullName")) <
               gen::sortKey(b.tree->childText(u"FullName"));
    });
    renameUnread();
    if (log)
        *log = m_log;
    return write();
}

} // namespace change

QByteArray changeCompany(const CompanyFile &company, const ChangeOptions &options, QStringList *log)
{
    return change::Changer(company, options).run(log);
}

} // namespace corvina::qbsim
