#include "qbsim/CompanyFile.h"

#include "localdb/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <array>
#include <optional>

namespace corvina::qbsim {

namespace {

using namespace Qt::Literals::StringLiterals;

enum class ListKind { Customers, Invoices, Items, SalesReps };

std::optional<ListKind> listOf(QStringView responseName)
{
    if (responseName == u"CustomerQueryRs")
        return ListKind::Customers;
    if (responseName == u"InvoiceQueryRs")
        return ListKind::Invoices;
    if (responseName == u"ItemQueryRs")
        return ListKind::Items;
    if (responseName == u"SalesRepQueryRs")
        return ListKind::SalesReps;
    return std::nullopt;
}

bool isRecordOf(ListKind kind, QStringView name)
{
    switch (kind) {
    case ListKind::Customers: return name == u"CustomerRet";
    case ListKind::Invoices: return name == u"InvoiceRet";
    case ListKind::SalesReps: return name == u"SalesRepRet";
    case ListKind::Items:
        // Every item kind, including kinds newer than the ones qbXML 2.1 knows.
        return name.size() > 7 && name.startsWith(u"Item") && name.endsWith(u"Ret");
    }
    return false;
}

} // namespace

// Writes the tokens of a QXmlStreamReader back as UTF-8 XML, like
// QXmlStreamWriter::writeCurrentToken without auto-formatting, but straight into the byte
// array: loading a large company file spends most of its time here.
class TokenWriter {
public:
    explicit TokenWriter(QByteArray &out) : m_out(out) {}

    // Where the next content byte lands: a start tag stays open until it is known whether
    // the element is empty (written as <Name/>).
    qsizetype contentPosition() const { return m_out.size() + (m_openTag ? 1 : 0); }

    void write(const QXmlStreamReader &reader)
    {
        switch (reader.tokenType()) {
        case QXmlStreamReader::StartElement: writeStartElement(reader); break;
        case QXmlStreamReader::EndElement:
            if (m_openTag) {
                m_out.append("/>");
                m_openTag = false;
            } else {
                m_out.append("</");
                append(reader.qualifiedName(), Escape::None);
                m_out.append('>');
            }
            break;
        case QXmlStreamReader::Characters:
            closeTag();
            append(reader.text(), Escape::Text);
            break;
        case QXmlStreamReader::Comment:
            closeTag();
            m_out.append("<!--");
            append(reader.text(), Escape::None);
            m_out.append("-->");
            break;
        case QXmlStreamReader::ProcessingInstruction:
            closeTag();
            m_out.append("<?");
            append(reader.processingInstructionTarget(), Escape::None);
            if (!reader.processingInstructionData().isEmpty()) {
                m_out.append(' ');
                append(reader.processingInstructionData(), Escape::None);
            }
            m_out.append("?>");
            break;
        case QXmlStreamReader::EntityReference:
            closeTag();
            m_out.append('&');
            append(reader.name(), Escape::None);
            m_out.append(';');
            break;
        default: break;
        }
    }

private:
    enum class Escape { None, Text, Attribute };

    void closeTag()
    {
        if (m_openTag) {
            m_out.append('>');
            m_openTag = false;
        }
    }

    void writeStartElement(const QXmlStreamReader &reader)
    {
        closeTag();
        m_out.append('<');
        append(reader.qualifiedName(), Escape::None);
        const QXmlStreamAttributes attributes = reader.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
            m_out.append(' ');
            append(attribute.qualifiedName(), Escape::None);
            m_out.append("=\"");
            append(attribute.value(), Escape::Attribute);
            m_out.append('"');
        }
        m_openTag = true;
    }

    // Appends the UTF-8 of `text`, escaped for where it goes.
    void append(QStringView text, Escape escape)
    {
        // At most 6 bytes per UTF-16 unit ("&quot;"). Written in place when the reserved
        // capacity allows, so that no growth step ever doubles the company's memory.
        const qsizetype most = text.size() * 6;
        const qsizetype size = m_out.size();
        if (m_out.capacity() - size >= most) {
            m_out.resize(size + most);
            char *const begin = m_out.data() + size;
            m_out.resize(size + (encode(text, escape, begin) - begin));
        } else {
            m_scratch.resize(most);
            char *const begin = m_scratch.data();
            m_out.append(begin, encode(text, escape, begin) - begin);
        }
    }

    static char *put(char *d, const char *s)
    {
        while (*s)
            *d++ = *s++;
        return d;
    }

    // Writes `text` at `d` and returns the end.
    static char *encode(QStringView text, Escape escape, char *d)
    {
        const char16_t *p = text.utf16();
        const char16_t *const end = p + text.size();
        const auto &special = kSpecial[static_cast<std::size_t>(escape)];
        while (p != end) {
            const char16_t c = *p++;
            if (c < 0x80) {
                if (!special[c])
                    *d++ = static_cast<char>(c);
                else
                    d = put(d, entity(c));
            } else if (c < 0x800) {
                *d++ = static_cast<char>(0xC0 | (c >> 6));
                *d++ = static_cast<char>(0x80 | (c & 0x3F));
            } else if (QChar::isHighSurrogate(c) && p != end && QChar::isLowSurrogate(*p)) {
                const char32_t u = QChar::surrogateToUcs4(c, *p++);
                *d++ = static_cast<char>(0xF0 | (u >> 18));
                *d++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
                *d++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                *d++ = static_cast<char>(0x80 | (u & 0x3F));
            } else if (QChar::isSurrogate(c)) {
                d = put(d, "\xEF\xBF\xBD"); // unpaired surrogate: U+FFFD
            } else {
                *d++ = static_cast<char>(0xE0 | (c >> 12));
                *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *d++ = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return d;
    }

    static const char *entity(char16_t c)
    {
        switch (c) {
        case u'&': return "&amp;";
        case u'<': return "&lt;";
        case u'>': return "&gt;";
        case u'"': return "&quot;";
        case u'\r': return "&#13;";
        case u'\n': return "&#10;";
        case u'\t': return "&#9;";
        default: return "";
        }
    }

    // Per Escape: the ASCII characters written as entities.
    static constexpr auto kSpecial = [] {
        std::array<std::array<std::uint8_t, 128>, 3> table{};
        for (const char c : {'&', '<', '>', '\r'}) {
            table[1][static_cast<std::size_t>(c)] = 1;
            table[2][static_cast<std::size_t>(c)] = 1;
        }
        for (const char c : {'"', '\n', '\t'})
            table[2][static_cast<std::size_t>(c)] = 1;
        return table;
    }();

    QByteArray &m_out;
    QByteArray m_scratch;
    bool m_openTag = false;
};

// Streams a company file token by token: records are re-serialized into the company's byte
// array as they are read, everything outside records is checked and dropped.
class CompanyFileReader {
public:
    CompanyFileReader(QIODevice &device, const QString &name)
        : m_reader(&device), m_writer(m_company.m_data), m_name(name)
    {
        m_company.m_path = name;
        // qbXML has no namespaces; without namespace processing an xmlns attribute is kept
        // as an ordinary attribute, and reading is faster.
        m_reader.setNamespaceProcessing(false);
        if (!device.isSequential() && device.size() > 0)
            m_company.m_data.reserve(static_cast<qsizetype>(device.size() + device.size() / 16));
    }

    CompanyFile run()
    {
        readDocument();
        m_company.m_data.squeeze();
        return std::move(m_company);
    }

private:
    // The text of the record's direct children that queries filter on.
    struct RecordFields {
        QString listId, fullName, name, initial, isActive;
        QString txnId, refNumber, txnDate;
        bool isInvoice = false;
    };

    [[noreturn]] void fail(const QString &what) const
    {
        throw Error(errc::kFileFailure, u"Company file %1, line %2, column %3: %4"_s.arg(
                                            m_name, QString::number(m_reader.lineNumber()),
                                            QString::number(m_reader.columnNumber()), what));
    }

    void failOnReaderError() const
    {
        if (m_reader.hasError())
            fail(m_reader.errorString());
    }

    void readDocument()
    {
        bool sawRoot = false;
        while (!m_reader.atEnd()) {
            m_reader.readNext();
            if (m_reader.isStartElement()) {
                if (m_reader.name() != u"QBXML")
                    fail(u"the document is a <%1>, not a qbXML document (<QBXML>)."_s.arg(
                        m_reader.name()));
                sawRoot = true;
                readRoot();
            }
        }
        failOnReaderError();
        if (!sawRoot)
            fail(u"the document has no <QBXML> element."_s);
    }

    void readRoot()
    {
        bool sawMessages = false;
        while (m_reader.readNextStartElement()) {
            const QStringView name = m_reader.name();
            if (name == u"QBXMLMsgsRs") {
                if (sawMessages)
                    fail(u"a second <QBXMLMsgsRs>."_s);
                sawMessages = true;
                readMessages();
            } else if (name == u"QBXMLMsgsRq") {
                fail(u"the document holds requests (<QBXMLMsgsRq>), not query answers."_s);
            } else {
                m_reader.skipCurrentElement();
            }
        }
        failOnReaderError();
    }

    void readMessages()
    {
        bool seen[4] = {};
        while (m_reader.readNextStartElement()) {
            const auto kind = listOf(m_reader.name());
            if (!kind) {
                m_reader.skipCurrentElement();
                continue;
            }
            bool &already = seen[static_cast<int>(*kind)];
            if (already)
                fail(u"a second <%1>; a company file holds each list once."_s.arg(m_reader.name()));
            already = true;
            readList(*kind);
        }
        failOnReaderError();
    }

    void readList(ListKind kind)
    {
        while (m_reader.readNextStartElement()) {
            if (!isRecordOf(kind, m_reader.name())) {
                m_reader.skipCurrentElement();
                continue;
            }
            if (kind == ListKind::Invoices)
                readInvoice();
            else
                readListRecord(kind);
        }
        failOnReaderError();
    }

    void readListRecord(ListKind kind)
    {
        RecordFields fields;
        ListRecord record;
        record.xml = copyRecord(fields);
        record.listId = fields.listId.trimmed();
        record.fullName = (!fields.fullName.isEmpty() ? fields.fullName
                           : !fields.name.isEmpty()   ? fields.name
                                                      : fields.initial)
                              .trimmed();
        record.active = fields.isActive.trimmed() != u"false";
        switch (kind) {
        case ListKind::Customers: m_company.m_customers.push_back(std::move(record)); break;
        case ListKind::Items: m_company.m_items.push_back(std::move(record)); break;
        case ListKind::SalesReps: m_company.m_salesReps.push_back(std::move(record)); break;
        case ListKind::Invoices: break;
        }
    }

    void readInvoice()
    {
        RecordFields fields;
        fields.isInvoice = true;
        InvoiceRecord invoice;
        invoice.firstCut = static_cast<std::uint32_t>(m_company.m_cuts.size());
        const qint64 line = m_reader.lineNumber();
        invoice.xml = copyRecord(fields);
        invoice.cutCount = static_cast<std::uint32_t>(m_company.m_cuts.size() - invoice.firstCut);
        invoice.txnId = fields.txnId.trimmed();
        invoice.refNumber = fields.refNumber.trimmed();
        if (!fields.txnDate.isEmpty()) {
            invoice.txnDate = parseDate(QStringView(fields.txnDate).trimmed());
            if (!invoice.txnDate.isValid())
                fail(u"the invoice starting on line %1 has the TxnDate \"%2\", not a date "
                     "(YYYY-MM-DD)."_s.arg(QString::number(line), fields.txnDate));
        }
        m_company.m_invoices.push_back(std::move(invoice));
    }

    // The field a direct child of a record feeds, if any.
    static QString *fieldFor(RecordFields &fields, QStringView child)
    {
        if (fields.isInvoice) {
            if (child == u"TxnID")
                return &fields.txnId;
            if (child == u"RefNumber")
                return &fields.refNumber;
            if (child == u"TxnDate")
                return &fields.txnDate;
            return nullptr;
        }
        if (child == u"ListID")
            return &fields.listId;
        if (child == u"FullName")
            return &fields.fullName;
        if (child == u"Name")
            return &fields.name;
        if (child == u"Initial")
            return &fields.initial;
        if (child == u"IsActive")
            return &fields.isActive;
        return nullptr;
    }

    // The InvoicePart a direct child of an invoice belongs to; 0 for none.
    static unsigned cutFor(QStringView child)
    {
        if (child == u"InvoiceLineRet" || child == u"InvoiceLineGroupRet")
            return static_cast<unsigned>(InvoicePart::Lines);
        if (child == u"LinkedTxn")
            return static_cast<unsigned>(InvoicePart::LinkedTxns);
        return 0;
    }

    void addCut(qsizetype begin, qsizetype end, InvoicePart part)
    {
        // Adjacent children of one kind (consecutive lines) make one cut.
        auto &cuts = m_company.m_cuts;
        if (m_cutsOfRecord > 0 && cuts.back().part == part && cuts.back().span.end == begin) {
            cuts.back().span.end = end;
            return;
        }
        cuts.push_back({{begin, end}, part});
        ++m_cutsOfRecord;
    }

    // Copies the record at the current start element through its end element into the
    // company's bytes, filling `fields` from its direct children.
    ByteSpan copyRecord(RecordFields &fields)
    {
        const qsizetype begin = m_company.m_data.size();
        m_cutsOfRecord = 0;
        m_writer.write(m_reader);
        int depth = 1;
        QString *capture = nullptr;
        qsizetype whitespaceBegin = -1; // whitespace run just before a direct child
        qsizetype childBegin = 0;
        unsigned cut = 0;
        while (depth > 0) {
            const auto token = m_reader.readNext();
            qsizetype nextWhitespace = -1;
            switch (token) {
            case QXmlStreamReader::StartElement:
                if (depth == 1) {
                    childBegin =
                        whitespaceBegin >= 0 ? whitespaceBegin : m_writer.contentPosition();
                    capture = fieldFor(fields, m_reader.name());
                    if (capture && !capture->isEmpty())
                        capture = nullptr; // the first occurrence counts
                    cut = fields.isInvoice ? cutFor(m_reader.name()) : 0;
                }
                ++depth;
                break;
            case QXmlStreamReader::EndElement: --depth; break;
            case QXmlStreamReader::Characters:
                if (depth == 2 && capture)
                    capture->append(m_reader.text());
                else if (depth == 1 && m_reader.isWhitespace())
                    nextWhitespace =
                        whitespaceBegin >= 0 ? whitespaceBegin : m_writer.contentPosition();
                break;
            case QXmlStreamReader::Invalid:
            case QXmlStreamReader::EndDocument:
                failOnReaderError();
                fail(u"the document ends inside a record."_s);
            default: break;
            }
            m_writer.write(m_reader);
            whitespaceBegin = nextWhitespace;
            if (token == QXmlStreamReader::EndElement && depth == 1) {
                capture = nullptr;
                if (cut != 0)
                    addCut(childBegin, m_company.m_data.size(), static_cast<InvoicePart>(cut));
                cut = 0;
            }
        }
        return {begin, m_company.m_data.size()};
    }

    CompanyFile m_company;
    QXmlStreamReader m_reader;
    TokenWriter m_writer;
    QString m_name;
    int m_cutsOfRecord = 0;
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

CompanyFile CompanyFile::load(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QFile file(absolute);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(errc::kFileFailure,
                    u"Cannot open the company file %1: %2"_s.arg(absolute, file.errorString()));
    return read(file, absolute);
}

CompanyFile CompanyFile::read(QIODevice &device, const QString &name)
{
    return CompanyFileReader(device, name).run();
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
