// The request document: read into a tree of nodes and checked as a whole (well formed, a
// version the host speaks, the QBXML envelope and its attributes); a refusal of the document.

#include "qbsim/QueryRequest.h"

#include "qbxml/ComErrors.h"

#include <QXmlStreamReader>

#include <initializer_list>

namespace corvina::qbsim {

using namespace Qt::Literals::StringLiterals;
namespace hr = qb::hr;

void refuse(const QString &detail)
{
    throw Refusal{hr::kXmlParse, detail};
}

namespace {

// Deeper nesting than any valid request has; refusing it keeps recursion bounded.
constexpr int kMaxDepth = 16;

class RequestReader {
public:
    RequestReader(QByteArrayView request, const QList<QVersionNumber> &accepted)
        : m_reader(QByteArray::fromRawData(request.data(), request.size())), m_accepted(accepted)
    {
    }

    Envelope read()
    {
        Envelope envelope;
        bool sawRoot = false;
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::ProcessingInstruction:
                if (!sawRoot && m_reader.processingInstructionTarget() == u"qbxml")
                    readVersion();
                break;
            case QXmlStreamReader::StartElement:
                if (!m_version)
                    throw Refusal{hr::kVersionUnsupported,
                                  u"the document has no <?qbxml version=\"…\"?> instruction."_s};
                if (m_reader.name() != u"QBXML")
                    refuse(u"the root element is <%1>, not <QBXML>."_s.arg(m_reader.name()));
                sawRoot = true;
                readRoot(envelope);
                break;
            case QXmlStreamReader::Invalid: failOnReaderError(); break;
            default: break;
            }
        }
        failOnReaderError();
        if (!sawRoot)
            refuse(u"the document has no <QBXML> element."_s);
        envelope.version = QVersionNumber::fromString(*m_version);
        return envelope;
    }

private:
    void failOnReaderError() const
    {
        if (m_reader.hasError())
            refuse(u"line %1, column %2: %3"_s.arg(QString::number(m_reader.lineNumber()),
                                                   QString::number(m_reader.columnNumber()),
                                                   m_reader.errorString()));
    }

    void readVersion()
    {
        if (m_version)
            refuse(u"a second <?qbxml?> instruction."_s);
        const QString data = m_reader.processingInstructionData().toString().simplified();
        QString version;
        for (const QChar quote : {u'"', u'\''}) {
            const QString prefix = u"version="_s + quote;
            if (data.startsWith(prefix) && data.endsWith(quote) && data.size() > prefix.size())
                version = data.sliced(prefix.size(), data.size() - prefix.size() - 1);
        }
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (version.isEmpty() || number.toString() != version.trimmed() ||
            number.segmentCount() != 2 || !m_accepted.contains(number))
            throw Refusal{hr::kVersionUnsupported,
                          u"the qbXML version instruction is \"%1\"."_s.arg(data)};
        m_version = version;
    }

    void readRoot(Envelope &envelope)
    {
        bool sawMessages = false;
        while (readChild()) {
            if (m_reader.name() != u"QBXMLMsgsRq" || sawMessages)
                refuse(u"<%1> is not expected in <QBXML>."_s.arg(m_reader.name()));
            sawMessages = true;
            readAttributes(envelope);
            while (readChild()) {
                if (!m_reader.name().endsWith(u"Rq"))
                    refuse(u"<%1> in <QBXMLMsgsRq> is not a request."_s.arg(m_reader.name()));
                envelope.requests.push_back(readElement(1));
            }
        }
    }

    void readAttributes(Envelope &envelope)
    {
        const QXmlStreamAttributes attributes = m_reader.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
            const QStringView name = attribute.qualifiedName();
            if (name != u"onError" && name != u"responseData" && name != u"oldMessageSetID" &&
                name != u"newMessageSetID")
                refuse(u"<QBXMLMsgsRq> has an unknown attribute %1."_s.arg(name));
        }
        const QStringView onError = attributes.value(QLatin1StringView("onError"));
        if (onError == u"stopOnError")
            envelope.onError = OnError::Stop;
        else if (onError == u"continueOnError")
            envelope.onError = OnError::Continue;
        else if (onError == u"rollbackOnError")
            envelope.onError = OnError::Rollback;
        else
            refuse(u"<QBXMLMsgsRq> needs onError=\"stopOnError\" or \"continueOnError\", not "
                   "\"%1\"."_s.arg(onError));
        if (attributes.hasAttribute(QLatin1StringView("responseData"))) {
            const QStringView data = attributes.value(QLatin1StringView("responseData"));
            if (data != u"includeAll" && data != u"includeNone")
                refuse(u"responseData=\"%1\" is not includeAll or includeNone."_s.arg(data));
            envelope.includeData = data == u"includeAll";
        }
    }

    // Moves to the next child start element; false at the parent's end. Text between the
    // children must be white space.
    bool readChild()
    {
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement: return true;
            case QXmlStreamReader::EndElement: return false;
            case QXmlStreamReader::Characters:
                if (!m_reader.isWhitespace())
                    refuse(u"line %1: text \"%2\" between elements."_s.arg(
                        QString::number(m_reader.lineNumber()), m_reader.text().trimmed()));
                break;
            case QXmlStreamReader::Invalid: failOnReaderError(); break;
            default: break;
            }
        }
        failOnReaderError();
        return false;
    }

    Node readElement(int depth)
    {
        if (depth > kMaxDepth)
            refuse(u"line %1: elements nested too deeply."_s.arg(m_reader.lineNumber()));
        Node node;
        node.name = m_reader.name().toString();
        node.attributes = m_reader.attributes();
        node.line = m_reader.lineNumber();
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement:
                node.children.push_back(readElement(depth + 1));
                break;
            case QXmlStreamReader::EndElement: return node;
            case QXmlStreamReader::Characters: node.text += m_reader.text(); break;
            case QXmlStreamReader::Invalid: failOnReaderError(); break;
            default: break;
            }
        }
        failOnReaderError();
        return node;
    }

    QXmlStreamReader m_reader;
    const QList<QVersionNumber> &m_accepted;
    std::optional<QString> m_version;
};

} // namespace

Envelope readRequestDocument(QByteArrayView request, const QList<QVersionNumber> &accepted)
{
    return RequestReader(request, accepted).read();
}

} // namespace corvina::qbsim
