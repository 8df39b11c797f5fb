#include "qbsim/CompanyFile.h"

#include "base/Error.h"
#include "qbxml/XmlScanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace corvina::qbsim {

namespace {

using namespace Qt::Literals::StringLiterals;
using qb::XmlScanner;
using Token = XmlScanner::Token;

using ListKind = Section;

std::optional<ListKind> listOf(QByteArrayView responseName)
{
    if (responseName == "CustomerQueryRs")
        return ListKind::Customers;
    if (responseName == "InvoiceQueryRs")
        return ListKind::Invoices;
    if (responseName == "ItemQueryRs")
        return ListKind::Items;
    if (responseName == "SalesRepQueryRs")
        return ListKind::SalesReps;
    if (responseName == "TxnDeletedQueryRs")
        return ListKind::DeletedTxns;
    if (responseName == "ListDeletedQueryRs")
        return ListKind::DeletedLists;
    return std::nullopt;
}

bool isRecordOf(ListKind kind, QByteArrayView name)
{
    switch (kind) {
    case ListKind::Customers: return name == "CustomerRet";
    case ListKind::Invoices: return name == "InvoiceRet";
    case ListKind::SalesReps: return name == "SalesRepRet";
    case ListKind::DeletedTxns: return name == "TxnDeletedRet";
    case ListKind::DeletedLists: return name == "ListDeletedRet";
    case ListKind::Items:
        // Every item kind, including kinds newer than the ones qbXML 2.1 knows.
        return name.size() > 7 && name.startsWith("Item") && name.endsWith("Ret");
    }
    return false;
}

// The InvoicePart a direct child of an invoice belongs to; 0 for none.
unsigned cutFor(QByteArrayView child)
{
    if (child == "InvoiceLineRet" || child == "InvoiceLineGroupRet")
        return static_cast<unsigned>(InvoicePart::Lines);
    if (child == "LinkedTxn")
        return static_cast<unsigned>(InvoicePart::LinkedTxns);
    return 0;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

} // namespace

// Scans a company file held in memory. The scanner checks that the document is well-formed
// UTF-8 XML; records are kept as the spans of the file's own bytes they occupy, so the
// company costs the file's size plus a little per record.
class CompanyFileReader {
public:
    CompanyFileReader(QByteArray data, const QString &name)
        : m_company(holding(std::move(data), name)), m_scanner(m_company.m_data), m_name(name)
    {
    }

    CompanyFile run()
    {
        readDocument();
        return std::move(m_company);
    }

private:
    static CompanyFile holding(QByteArray data, const QString &name)
    {
        CompanyFile company;
        company.m_path = name;
        company.m_data = std::move(data);
        return company;
    }

    // The text of the record's direct children that queries filter on.
    enum class Shape { List, Invoice, Deleted };
    struct RecordFields {
        QByteArray listId, fullName, name, initial, isActive;
        QByteArray txnId, refNumber, txnDate;
        QByteArray timeCreated, timeModified, timeDeleted, delType;
        Shape shape = Shape::List;
    };

    // "line L, column C" of a byte offset.
    QString location(qsizetype offset) const
    {
        const QByteArrayView before = QByteArrayView(m_company.m_data).first(offset);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        const qsizetype line = before.count('\n') + 1;
        const qsizetype column = QString::fromUtf8(before.sliced(lineStart)).size() + 1;
        return u"line %1, column %2"_s.arg(line).arg(column);
    }

    [[noreturn]] void failAt(qsizetype offset, const QString &what) const
    {
        throw Error(errc::kFileFailure,
                    u"Company file %1, %2: %3"_s.arg(m_name, location(offset), what));
    }

    // Where the element just started begins: its start tag is the last '<' read, since
    // attribute values hold no '<'.
    qsizetype elementBegin() const
    {
        return QByteArrayView(m_company.m_data).first(m_scanner.offset()).lastIndexOf('<');
    }

    [[noreturn]] void failHere(const QString &what) const { failAt(elementBegin(), what); }

    Token next()
    {
        const Token token = m_scanner.next();
        if (token == Token::Error)
            throw Error(errc::kFileFailure,
                        u"Company file %1: %2"_s.arg(m_name, m_scanner.errorString()));
        return token;
    }

    // Moves to the next child element of the element at `depth`; false at its end.
    bool nextChild(int depth)
    {
        for (;;) {
            const Token token = next();
            if (token == Token::StartElement && m_scanner.depth() == depth + 1)
                return true;
            if ((token == Token::EndElement && m_scanner.depth() <= depth) ||
                token == Token::EndDocument)
                return false;
        }
    }

    void skipElement()
    {
        m_scanner.skipElement();
        if (m_scanner.hasError())
            next(); // reports it
    }

    void readDocument()
    {
        if (!nextChild(0))
            return;
        if (m_scanner.name() != "QBXML")
            failHere(u"the document is a <%1>, not a qbXML document (<QBXML>)."_s.arg(
                QString::fromUtf8(m_scanner.name())));
        readRoot();
        while (next() != Token::EndDocument) {
        }
    }

    void readRoot()
    {
        bool sawMessages = false;
        while (nextChild(1)) {
            const QByteArrayView name = m_scanner.name();
            if (name == "QBXMLMsgsRs") {
                if (sawMessages)
                    failHere(u"a second <QBXMLMsgsRs>."_s);
                sawMessages = true;
                readMessages();
            } else if (name == "QBXMLMsgsRq") {
                failHere(u"the document holds requests (<QBXMLMsgsRq>), not query answers."_s);
            } else {
                skipElement();
            }
        }
    }

    void readMessages()
    {
        bool seen[kSectionCount] = {};
        while (nextChild(2)) {
            const auto kind = listOf(m_scanner.name());
            if (!kind) {
                skipElement();
                continue;
            }
            bool &already = seen[static_cast<int>(*kind)];
            if (already)
                failHere(u"a second <%1>; a company file holds each list once."_s.arg(
                    QString::fromUtf8(m_scanner.name())));
            already = true;
            SectionSpan &section = m_company.m_sections[static_cast<int>(*kind)];
            section.element.begin = elementBegin();
            section.contentBegin = m_scanner.offset();
            const bool empty =
                QByteArrayView(m_company.m_data).first(section.contentBegin).endsWith("/>");
            readList(*kind);
            section.element.end = m_scanner.offset();
            section.contentEnd =
                empty
                    ? section.element.end
                    : QByteArrayView(m_company.m_data).first(section.element.end).lastIndexOf('<');
            if (empty)
                section.contentBegin = section.element.end;
        }
        m_company.m_messagesEnd =
            QByteArrayView(m_company.m_data).first(m_scanner.offset()).lastIndexOf('<');
    }

    void readList(ListKind kind)
    {
        while (nextChild(3)) {
            if (!isRecordOf(kind, m_scanner.name()))
                skipElement();
            else if (kind == ListKind::Invoices)
                readInvoice();
            else if (kind == ListKind::DeletedTxns || kind == ListKind::DeletedLists)
                readDeleted(kind);
            else
                readListRecord(kind);
        }
    }

    void readListRecord(ListKind kind)
    {
        RecordFields fields;
        ListRecord record;
        record.xml = readRecord(fields);
        record.listId = QString::fromUtf8(fields.listId.trimmed());
        record.fullName = QString::fromUtf8((!fields.fullName.isEmpty() ? fields.fullName
                                             : !fields.name.isEmpty()   ? fields.name
                                                                        : fields.initial)
                                                .trimmed());
        record.active = fields.isActive.trimmed() != "false";
        record.created = time(fields.timeCreated, u"TimeCreated", record.xml);
        record.modified = time(fields.timeModified, u"TimeModified", record.xml);
        switch (kind) {
        case ListKind::Customers: m_company.m_customers.push_back(std::move(record)); break;
        case ListKind::Items: m_company.m_items.push_back(std::move(record)); break;
        case ListKind::SalesReps: m_company.m_salesReps.push_back(std::move(record)); break;
        default: break;
        }
    }

    void readInvoice()
    {
        RecordFields fields;
        fields.shape = Shape::Invoice;
        InvoiceRecord invoice;
        invoice.firstCut = static_cast<std::uint32_t>(m_company.m_cuts.size());
        invoice.xml = readRecord(fields);
        invoice.cutCount = static_cast<std::uint32_t>(m_company.m_cuts.size() - invoice.firstCut);
        invoice.txnId = QString::fromUtf8(fields.txnId.trimmed());
        invoice.refNumber = QString::fromUtf8(fields.refNumber.trimmed());
        if (!fields.txnDate.isEmpty()) {
            const QString date = QString::fromUtf8(fields.txnDate.trimmed());
            invoice.txnDate = parseDate(date);
            if (!invoice.txnDate.isValid())
                failAt(invoice.xml.begin,
                       u"the invoice has the TxnDate \"%1\", not a date (YYYY-MM-DD)."_s.arg(date));
        }
        invoice.created = time(fields.timeCreated, u"TimeCreated", invoice.xml);
        invoice.modified = time(fields.timeModified, u"TimeModified", invoice.xml);
        m_company.m_invoices.push_back(std::move(invoice));
    }

    void readDeleted(ListKind kind)
    {
        RecordFields fields;
        fields.shape = Shape::Deleted;
        DeletedRecord record;
        record.xml = readRecord(fields);
        record.type = QString::fromUtf8(fields.delType.trimmed());
        record.id = QString::fromUtf8(
            (kind == ListKind::DeletedTxns ? fields.txnId : fields.listId).trimmed());
        record.created = time(fields.timeCreated, u"TimeCreated", record.xml);
        if (fields.timeDeleted.trimmed().isEmpty())
            failAt(record.xml.begin, u"the deletion has no TimeDeleted."_s);
        record.deleted = time(fields.timeDeleted, u"TimeDeleted", record.xml);
        (kind == ListKind::DeletedTxns ? m_company.m_deletedTxns : m_company.m_deletedLists)
            .push_back(std::move(record));
    }

    // A date-time field's instant (kNoTime when absent); the company's latest time follows.
    qint64 time(const QByteArray &field, QStringView name, ByteSpan record)
    {
        const QString text = QString::fromUtf8(field.trimmed());
        if (text.isEmpty())
            return kNoTime;
        int offset = 0;
        const auto instant = parseDateTime(text, false, &offset);
        if (!instant)
            failAt(record.begin, u"the record has the %1 \"%2\", not a date and time "
                                 "(YYYY-MM-DDThh:mm:ss with an offset)."_s.arg(name, text));
        if (*instant > m_company.m_latestTime) {
            m_company.m_latestTime = *instant;
            m_company.m_latestOffset = offset;
        }
        return *instant;
    }

    // The field a direct child of a record feeds, if any.
    static QByteArray *fieldFor(RecordFields &fields, QByteArrayView child)
    {
        if (child == "TimeCreated")
            return &fields.timeCreated;
        if (child == "TimeModified")
            return &fields.timeModified;
        if (fields.shape == Shape::Deleted) {
            if (child == "TxnDelType" || child == "ListDelType")
                return &fields.delType;
            if (child == "TimeDeleted")
                return &fields.timeDeleted;
            if (child == "TxnID")
                return &fields.txnId;
            if (child == "ListID")
                return &fields.listId;
            return nullptr;
        }
        if (fields.shape == Shape::Invoice) {
            if (child == "TxnID")
                return &fields.txnId;
            if (child == "RefNumber")
                return &fields.refNumber;
            if (child == "TxnDate")
                return &fields.txnDate;
            return nullptr;
        }
        if (child == "ListID")
            return &fields.listId;
        if (child == "FullName")
            return &fields.fullName;
        if (child == "Name")
            return &fields.name;
        if (child == "Initial")
            return &fields.initial;
        if (child == "IsActive")
            return &fields.isActive;
        return nullptr;
    }

    // A left-out child takes the white space before it along, so that an answer without it
    // reads as if it had never been there.
    void addCut(qsizetype begin, qsizetype end, InvoicePart part, int cutsBefore)
    {
        const QByteArray &data = m_company.m_data;
        while (begin > 0 && isSpace(data[begin - 1]))
            --begin;
        auto &cuts = m_company.m_cuts;
        // Adjacent children of one kind (consecutive lines) make one cut.
        if (static_cast<int>(cuts.size()) > cutsBefore && cuts.back().part == part &&
            cuts.back().span.end == begin) {
            cuts.back().span.end = end;
            return;
        }
        cuts.push_back({{begin, end}, part});
    }

    // Reads the record whose start tag was just read through its end tag, filling `fields`
    // from its direct children; returns the record's span.
    ByteSpan readRecord(RecordFields &fields)
    {
        const qsizetype begin = elementBegin();
        const int depth = m_scanner.depth();
        const int cutsBefore = static_cast<int>(m_company.m_cuts.size());
        QByteArray *capture = nullptr;
        qsizetype childBegin = 0;
        unsigned cut = 0;
        for (;;) {
            const Token token = next();
            if (token == Token::StartElement && m_scanner.depth() == depth + 1) {
                childBegin = elementBegin();
                capture = fieldFor(fields, m_scanner.name());
                if (capture && !capture->isEmpty())
                    capture = nullptr; // the first occurrence counts
                cut = fields.shape == Shape::Invoice ? cutFor(m_scanner.name()) : 0;
            } else if (token == Token::Characters && capture && m_scanner.depth() == depth + 1) {
                capture->append(m_scanner.text());
            } else if (token == Token::EndElement && m_scanner.depth() == depth) {
                if (cut != 0)
                    addCut(childBegin, m_scanner.offset(), static_cast<InvoicePart>(cut),
                           cutsBefore);
                capture = nullptr;
                cut = 0;
            } else if (token == Token::EndElement && m_scanner.depth() < depth) {
                return {begin, m_scanner.offset()};
            }
        }
    }

    CompanyFile m_company;
    XmlScanner m_scanner;
    QString m_name;
};

QDate parseDate(QStringView text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return {};
    for (const qsizetype i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < u'0' || text[i] > u'9')
            return {};
    }
    return QDate(text.first(4).toInt(), text.sliced(5, 2).toInt(), text.sliced(8, 2).toInt());
}

std::optional<qint64> parseDateTime(QStringView text, bool endOfDay, int *offsetSeconds)
{
    const QDate date = parseDate(text.first(std::min<qsizetype>(10, text.size())));
    if (!date.isValid())
        return std::nullopt;
    const auto digits = [&](qsizetype at, int max) -> std::optional<int> {
        if (at + 2 > text.size() || !text[at].isDigit() || !text[at + 1].isDigit())
            return std::nullopt;
        const int value = text.sliced(at, 2).toInt();
        return value <= max ? std::optional<int>(value) : std::nullopt;
    };
    const qint64 day = (date.toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400;
    if (offsetSeconds)
        *offsetSeconds = 0;
    if (text.size() == 10)
        return day + (endOfDay ? 86399 : 0);
    if (text.size() < 19 || text[10] != u'T' || text[13] != u':' || text[16] != u':')
        return std::nullopt;
    const auto hour = digits(11, 23), minute = digits(14, 59), second = digits(17, 59);
    if (!hour || !minute || !second)
        return std::nullopt;
    const qint64 local = day + *hour * 3600 + *minute * 60 + *second;
    const QStringView zone = text.sliced(19);
    if (zone.isEmpty() || zone == u"Z")
        return local;
    if (zone.size() != 6 || (zone[0] != u'+' && zone[0] != u'-') || zone[3] != u':')
        return std::nullopt;
    const auto zoneHours = digits(20, 14), zoneMinutes = digits(23, 59);
    if (!zoneHours || !zoneMinutes)
        return std::nullopt;
    const int offset = (zone[0] == u'-' ? -1 : 1) * (*zoneHours * 3600 + *zoneMinutes * 60);
    if (offsetSeconds)
        *offsetSeconds = offset;
    return local - offset;
}

CompanyFile CompanyFile::load(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QFile file(absolute);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(errc::kFileFailure,
                    u"Cannot open the company file %1: %2"_s.arg(absolute, file.errorString()));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(errc::kFileFailure,
                    u"Cannot read the company file %1: %2"_s.arg(absolute, file.errorString()));
    return CompanyFileReader(std::move(data), absolute).run();
}

CompanyFile CompanyFile::read(QIODevice &device, const QString &name)
{
    return CompanyFileReader(device.readAll(), name).run();
}

qsizetype CompanyFile::invoiceSize(const InvoiceRecord &invoice, unsigned keep) const
{
    qsizetype size = invoice.xml.size();
    for (std::uint32_t i = 0; i < invoice.cutCount; ++i) {
        const InvoiceCut &cut = m_cuts[invoice.firstCut + i];
        if ((keep & static_cast<unsigned>(cut.part)) == 0)
            size -= cut.span.size();
    }
    return size;
}

void CompanyFile::appendInvoice(QByteArray &out, const InvoiceRecord &invoice, unsigned keep) const
{
    qsizetype from = invoice.xml.begin;
    for (std::uint32_t i = 0; i < invoice.cutCount; ++i) {
        const InvoiceCut &cut = m_cuts[invoice.firstCut + i];
        if ((keep & static_cast<unsigned>(cut.part)) != 0)
            continue;
        out.append(xml({from, cut.span.begin}));
        from = cut.span.end;
    }
    out.append(xml({from, invoice.xml.end}));
}

} // namespace corvina::qbsim
