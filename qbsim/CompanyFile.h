#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

#include <cstdint>
#include <vector>

class QIODevice;

namespace corvina::qbsim {

// A qbXML date (YYYY-MM-DD, nothing else); a null date otherwise.
QDate parseDate(QStringView text);

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
    QDate txnDate;              // null when the invoice has no TxnDate
    std::uint32_t firstCut = 0; // this invoice's cuts in CompanyFile::cuts()
    std::uint32_t cutCount = 0;
};

// A company file: a qbXML response document in UTF-8 (as QuickBooks answers queries) holding
// at most one each of CustomerQueryRs, InvoiceQueryRs, ItemQueryRs and SalesRepQueryRs; other
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
};

} // namespace corvina::qbsim
