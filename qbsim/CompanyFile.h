#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

class QIODevice;

namespace corvina::qbsim {

// A qbXML date (YYYY-MM-DD, nothing else); a null date otherwise.
QDate parseDate(QStringView text);

// No time given (a record without TimeModified, say).
inline constexpr qint64 kNoTime = std::numeric_limits<qint64>::min();

// A qbXML date-time as seconds since 1970-01-01T00:00:00Z: YYYY-MM-DDThh:mm:ss followed by
// an offset (+hh:mm, -hh:mm) or Z, or by nothing, which the stand-in takes as UTC. A date
// alone is the start of that day, or its last second when `endOfDay` (a ToModifiedDate of a
// whole day). nullopt when the text is none of these. `offsetSeconds`, when given, receives
// the offset written (0 without one).
std::optional<qint64> parseDateTime(QStringView text, bool endOfDay = false,
                                    int *offsetSeconds = nullptr);

// A span of a CompanyFile's bytes, [begin, end).
struct ByteSpan {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype size() const noexcept { return end - begin; }
};

// A customer (or job), item or sales rep: its XML as the file holds it and what list
// queries filter on.
struct ListRecord {
    ByteSpan xml;
    QString listId;
    QString fullName;   // FullName, else Name (items without FullName), else Initial (reps)
    bool active = true; // IsActive absent counts as active
    qint64 created = kNoTime;
    qint64 modified = kNoTime;
};

// Parts of an invoice that a query leaves out unless asked for.
enum class InvoicePart : std::uint8_t {
    Lines = 1,      // InvoiceLineRet / InvoiceLineGroupRet children: IncludeLineItems
    LinkedTxns = 2, // LinkedTxn children: IncludeLinkedTxns
};

struct InvoiceCut {
    ByteSpan span; // the child element with the whitespace just before it
    InvoicePart part;
};

struct InvoiceRecord {
    ByteSpan xml;
    QString txnId;
    QString refNumber;
    QDate txnDate; // null when the invoice has no TxnDate
    qint64 created = kNoTime;
    qint64 modified = kNoTime;
    std::uint32_t firstCut = 0; // this invoice's cuts in CompanyFile::cuts()
    std::uint32_t cutCount = 0;
};

// A deletion QuickBooks remembers: a TxnDeletedRet or ListDeletedRet as it answers them.
struct DeletedRecord {
    ByteSpan xml;
    QString type; // TxnDelType or ListDelType: Invoice, Customer, ItemService...
    QString id;   // TxnID or ListID
    qint64 created = kNoTime;
    qint64 deleted = 0; // TimeDeleted
};

// The lists a company file holds, in the order of CompanyFile::sections().
enum class Section : std::uint8_t {
    Customers,
    Invoices,
    Items,
    SalesReps,
    DeletedTxns,
    DeletedLists,
};
inline constexpr int kSectionCount = 6;

// Where a list's element lies in the file: [element.begin, contentBegin) is its start tag,
// [contentEnd, element.end) its end tag. An empty element (<X/>) has contentBegin ==
// contentEnd == element.end. All zero when the file lacks the list.
struct SectionSpan {
    ByteSpan element;
    qsizetype contentBegin = 0;
    qsizetype contentEnd = 0;
    bool present() const noexcept { return element.end > 0; }
};

// A company file: a qbXML response document in UTF-8 (as QuickBooks answers queries) holding
// at most one each of CustomerQueryRs, InvoiceQueryRs, ItemQueryRs and SalesRepQueryRs, and
// the deletions QuickBooks remembers as a TxnDeletedQueryRs and a ListDeletedQueryRs; other
// elements are skipped and a missing list is empty. The file's bytes are kept as they are and
// every record is the span of them it occupies, so that answers carry exactly the fields the
// file holds, including elements newer than qbXML 2.1.
class CompanyFile {
public:
    CompanyFile() = default;

    // Reads the company file at `path`; its absolute path becomes the company's name.
    // Throws corvina::Error naming the file, line and column when it cannot be read or is
    // not a company file.
    static CompanyFile load(const QString &path);
    // The same from an open device; `name` is used in messages and as the company's name.
    static CompanyFile read(QIODevice &device, const QString &name);

    const QString &path() const noexcept { return m_path; }

    const std::vector<ListRecord> &customers() const noexcept { return m_customers; }
    const std::vector<ListRecord> &items() const noexcept { return m_items; }
    const std::vector<ListRecord> &salesReps() const noexcept { return m_salesReps; }
    const std::vector<InvoiceRecord> &invoices() const noexcept { return m_invoices; }
    const std::vector<InvoiceCut> &cuts() const noexcept { return m_cuts; }
    const std::vector<DeletedRecord> &deletedTxns() const noexcept { return m_deletedTxns; }
    const std::vector<DeletedRecord> &deletedLists() const noexcept { return m_deletedLists; }

    // The company's latest time: the largest TimeCreated, TimeModified or TimeDeleted it
    // holds (kNoTime without any), and the UTC offset that time was written with.
    qint64 latestTime() const noexcept { return m_latestTime; }
    int latestOffset() const noexcept { return m_latestOffset; }

    const QByteArray &data() const noexcept { return m_data; }
    const SectionSpan &section(Section which) const noexcept
    {
        return m_sections[static_cast<int>(which)];
    }
    // Where </QBXMLMsgsRs> begins; 0 when the file has none.
    qsizetype messagesEnd() const noexcept { return m_messagesEnd; }

    QByteArrayView xml(ByteSpan span) const noexcept
    {
        return QByteArrayView(m_data.constData() + span.begin, span.size());
    }
    // An invoice's XML with the parts not in `keep` (a mask of InvoicePart) left out.
    void appendInvoice(QByteArray &out, const InvoiceRecord &invoice, unsigned keep) const;
    // The size appendInvoice will append.
    qsizetype invoiceSize(const InvoiceRecord &invoice, unsigned keep) const;

private:
    friend class CompanyFileReader;

    QString m_path;
    QByteArray m_data;
    std::vector<ListRecord> m_customers;
    std::vector<ListRecord> m_items;
    std::vector<ListRecord> m_salesReps;
    std::vector<InvoiceRecord> m_invoices;
    std::vector<InvoiceCut> m_cuts;
    std::vector<DeletedRecord> m_deletedTxns;
    std::vector<DeletedRecord> m_deletedLists;
    qint64 m_latestTime = kNoTime;
    int m_latestOffset = 0;
    SectionSpan m_sections[kSectionCount];
    qsizetype m_messagesEnd = 0;
};

} // namespace corvina::qbsim
