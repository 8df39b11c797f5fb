#include "qbxml/XmlScanner.h"

#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace corvina::qb;
using namespace Qt::StringLiterals;

namespace {

// Tokens as text: <name @attr=value, </name, "text".
QStringList scan(const QByteArray &xml, QString *error = nullptr)
{
    XmlScanner s(xml);
    QStringList out;
    for (;;) {
        switch (s.next()) {
        case XmlScanner::Token::StartElement: {
            QString t = u"<"_s + QString::fromUtf8(s.name());
            for (const auto &a : s.attributes())
                t += u" @"_s + QString::fromUtf8(a.name) + u"="_s + QString::fromUtf8(a.value);
            out << t;
            break;
        }
        case XmlScanner::Token::EndElement: out << u"</"_s + QString::fromUtf8(s.name()); break;
        case XmlScanner::Token::Characters:
            if (!s.isWhitespace())
                out << u"\""_s + QString::fromUtf8(s.text()) + u"\""_s;
            break;
        case XmlScanner::Token::EndDocument: return out;
        case XmlScanner::Token::Error:
            if (error)
                *error = s.errorString();
            out << u"ERROR"_s;
            return out;
        }
    }
}

} // namespace

TEST(XmlScanner, ReadsElementsAttributesTextAndReferences)
{
    const QByteArray xml =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?qbxml version=\"2.1\"?>\n"
        "<!DOCTYPE QBXML>\n<!-- a comment -->\n"
        "<A x='1' y=\"a &amp; &quot;b&quot;\"><B/><C>O&apos;Brien &lt;&#65;&#x42;&gt; "
        "M\xc3\xbcller</C>"
        "<D><![CDATA[<&>]]></D ></A>\n<!-- trailing -->\n";
    EXPECT_EQ(scan(xml), (QStringList{u"<A @x=1 @y=a & \"b\""_s, u"<B"_s, u"</B"_s, u"<C"_s,
                                      u"\"O'Brien <AB> Müller\""_s, u"</C"_s, u"<D"_s, u"\"<&>\""_s,
                                      u"</D"_s, u"</A"_s}));
}

TEST(XmlScanner, RefusesWhatIsNotWellFormedSayingWhere)
{
    struct Case {
        const char *name;
        QByteArray xml;
    };
    const Case cases[] = {
        {"empty", ""},
        {"truncated", "<A><B>text"},
        {"mismatched end", "<A><B></A></B>"},
        {"two roots", "<A/><B/>"},
        {"text outside", "<A/>x"},
        {"unknown entity", "<A>&nbsp;</A>"},
        {"bare ampersand", "<A>a & b</A>"},
        {"bad char ref", "<A>&#0;</A>"},
        {"unquoted attribute", "<A x=1/>"},
        {"repeated attribute", "<A x='1' x='2'/>"},
        {"lt in attribute", "<A x='<'/>"},
        {"unterminated comment", "<A><!-- x</A>"},
        {"unterminated cdata", "<A><![CDATA[x</A>"},
        {"bad utf-8", "<A>\xff\xfe</A>"},
        {"overlong utf-8", "<A>\xc0\xaf</A>"},
        {"truncated utf-8", "<A>\xe2\x82</A>"},
        {"other encoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><A/>"},
        {"bad name", "<1A/>"},
        {"signed character reference", "<A>&#+65;</A>"},
        {"hexadecimal prefix twice", "<A>&#x0x41;</A>"},
        {"space in a character reference", "<A>&# 65;</A>"},
        {"character reference without digits", "<A>&#x;</A>"},
        {"upper-case X in a reference", "<A>&#X41;</A>"},
        {"reference to a control character", "<A>&#1;</A>"},
        {"reference past Unicode", "<A>&#x110000;</A>"},
        {"malformed reference in an attribute", "<A x='&#+65;'/>"},
        {"control character in text", "<A>a\x01</A>"},
        {"NUL in text", QByteArray("<A>a\0</A>", 9)},
        {"control character in an attribute", "<A x='\x0b'/>"},
        {"control character in a comment", "<A><!--\x1f--></A>"},
        {"control character in CDATA", "<A><![CDATA[\x0c]]></A>"},
        {"non-character U+FFFE", "<A>\xef\xbf\xbe</A>"},
        {"document type inside the root", "<A><!DOCTYPE A></A>"},
        {"second document type", "<!DOCTYPE A><!DOCTYPE A><A/>"},
        {"document type after the root", "<A/><!DOCTYPE A>"},
        {"unknown declaration", "<A><!ELEMENT A ANY></A>"},
    };
    for (const auto &c : cases) {
        QString error;
        EXPECT_EQ(scan(c.xml, &error).last(), u"ERROR") << c.name;
        EXPECT_TRUE(error.contains(u"line 1, column")) << c.name << ": " << error.toStdString();
    }
    QString error;
    scan("<A>\n  <B>\n  </C>\n</A>", &error);
    EXPECT_TRUE(error.endsWith(u"(line 3, column 6)")) << error.toStdString();
}

TEST(XmlScanner, SkipsWholeElementsAndAgreesWithQtOnTheSamples)
{
    XmlScanner s("<A><B><C>x</C><D/></B><E>y</E></A>");
    ASSERT_EQ(s.next(), XmlScanner::Token::StartElement);
    ASSERT_EQ(s.next(), XmlScanner::Token::StartElement);
    s.skipElement();
    EXPECT_EQ(s.token(), XmlScanner::Token::EndElement);
    EXPECT_EQ(s.name(), "B");
    ASSERT_EQ(s.next(), XmlScanner::Token::StartElement);
    EXPECT_EQ(s.name(), "E");

    // Every element name and text of the composed answers, in order, as Qt's reader sees them.
    for (const char *name : {"composed/InvoiceQueryRs_v21_groups-ratepercent.xml",
                             "composed/ItemQueryRs_v21_all-kinds.xml"}) {
        QFile f(QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/") + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray xml = f.readAll();
        QStringList expected;
        QXmlStreamReader r(xml);
        while (!r.atEnd()) {
            r.readNext();
            if (r.isStartElement())
                expected << u"<"_s + r.name().toString();
            else if (r.isEndElement())
                expected << u"</"_s + r.name().toString();
            else if (r.isCharacters() && !r.isWhitespace())
                expected << u"\""_s + r.text().toString() + u"\""_s;
        }
        QStringList got = scan(xml);
        for (QString &t : got)
            t = t.section(u" @"_s, 0, 0);
        EXPECT_EQ(got, expected) << name;
    }
}

TEST(XmlScanner, ReadsTextAsXmlDefinesIt)
{
    struct Case {
        const char *name;
        QByteArray xml;
        QStringList tokens; // as scan() writes them: layout white space is left out
    };
    const Case cases[] = {
        {"line ends in text", "<A>a\r\nb\rc\r\n</A>", {u"<A"_s, u"\"a\nb\nc\n\""_s, u"</A"_s}},
        {"line ends in CDATA", "<A><![CDATA[a\r\nb\r]]></A>", {u"<A"_s, u"\"a\nb\n\""_s, u"</A"_s}},
        {"white space in attribute values",
         "<A x='a\r\nb\tc\nd\re'/>",
         {u"<A @x=a b c d e"_s, u"</A"_s}},
        {"references keep the characters they name",
         "<A x='&#9;&#10;&#13;'>a&#13;&#10;b</A>",
         {u"<A @x=\t\n\r"_s, u"\"a\r\nb\""_s, u"</A"_s}},
        {"leading zeros in references",
         "<A>&#x0000041;&#000000066;</A>",
         {u"<A"_s, u"\"AB\""_s, u"</A"_s}},
        {"space around CDATA", "<A> <![CDATA[x]]> </A>", {u"<A"_s, u"\" x \""_s, u"</A"_s}},
        {"space by reference", "<A>&#32;</A>", {u"<A"_s, u"\" \""_s, u"</A"_s}},
        {"one text across comments, instructions and CDATA",
         "<A>a<!--c-->b<?p d?>c<![CDATA[d]]>e</A>",
         {u"<A"_s, u"\"abcde\""_s, u"</A"_s}},
        {"layout stays layout",
         "<A>\r\n <B/>\r\n <!-- c -->\t</A>",
         {u"<A"_s, u"<B"_s, u"</B"_s, u"</A"_s}},
    };
    for (const auto &c : cases) {
        QString error;
        EXPECT_EQ(scan(c.xml, &error).join(u" | "_s).toStdString(),
                  c.tokens.join(u" | "_s).toStdString())
            << c.name << ": " << error.toStdString();
    }
}
