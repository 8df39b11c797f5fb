#include "XlsxRead.h"

#include <QProcess>
#include <QStringList>
#include <QVector>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace corvina::test {

namespace {

// `optional` members may be missing (sharedStrings.xml when every string is inline).
QByteArray unzipMember(const QString &path, const QString &member, bool optional = false)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, member});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0) {
        if (optional)
            return {};
        ADD_FAILURE() << "unzip could not read " << member.toStdString() << " from "
                      << path.toStdString();
        return {};
    }
    return unzip.readAllStandardOutput();
}

QStringList sharedStrings(const QString &path)
{
    QStringList strings;
    QXmlStreamReader xml(unzipMember(path, QStringLiteral("xl/sharedStrings.xml"), true));
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"si")
            current.clear();
        else if (xml.isStartElement() && xml.name() == u"t")
            current += xml.readElementText();
        else if (xml.isEndElement() && xml.name() == u"si")
            strings << current;
    }
    return strings;
}

struct Style {
    bool bold = false;
    bool italic = false;
    QString numberFormat;
};

QVector<Style> cellStyles(const QString &path)
{
    QXmlStreamReader xml(unzipMember(path, QStringLiteral("xl/styles.xml")));
    QMap<int, QString> numFmts;
    QVector<Style> fonts;
    QVector<Style> xfs;
    bool inFonts = false;
    bool inXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            const auto attrs = xml.attributes();
            if (name == u"numFmt")
                numFmts[attrs.value(QLatin1String("numFmtId")).toInt()] =
                    attrs.value(QLatin1String("formatCode")).toString();
            else if (name == u"fonts")
                inFonts = true;
            else if (name == u"cellXfs")
                inXfs = true;
            else if (inFonts && name == u"font")
                fonts.append(Style{});
            else if (inFonts && name == u"b")
                fonts.last().bold = true;
            else if (inFonts && name == u"i")
                fonts.last().italic = true;
            else if (inXfs && name == u"xf") {
                Style s = fonts.value(attrs.value(QLatin1String("fontId")).toInt());
                s.numberFormat = numFmts.value(attrs.value(QLatin1String("numFmtId")).toInt());
                xfs.append(s);
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == u"fonts")
                inFonts = false;
            else if (xml.name() == u"cellXfs")
                inXfs = false;
        }
    }
    return xfs;
}

int rowOf(const QString &ref)
{
    int i = 0;
    while (i < ref.size() && ref.at(i).isLetter())
        ++i;
    return ref.mid(i).toInt();
}

} // namespace

QMap<QString, XlsxCell> readXlsxSheet(const QString &path, int sheet)
{
    const QStringList strings = sharedStrings(path);
    const QVector<Style> styles = cellStyles(path);
    QXmlStreamReader xml(unzipMember(path, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)));
    QMap<QString, XlsxCell> cells;
    QString ref;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"c") {
            ref = xml.attributes().value(QLatin1String("r")).toString();
            XlsxCell cell;
            cell.type = xml.attributes().value(QLatin1String("t")).toString();
            const Style style = styles.value(xml.attributes().value(QLatin1String("s")).toInt());
            cell.bold = style.bold;
            cell.italic = style.italic;
            cell.numberFormat = style.numberFormat;
            cells[ref] = cell;
        } else if (xml.isStartElement() && xml.name() == u"t" && cells[ref].type == u"inlineStr") {
            XlsxCell &cell = cells[ref];
            cell.text = xml.readElementText();
            cell.type = QStringLiteral("s");
        } else if (xml.isStartElement() && xml.name() == u"v") {
            XlsxCell &cell = cells[ref];
            const QString v = xml.readElementText();
            cell.text = cell.type == u"s" ? strings.value(v.toInt()) : v;
            if (cell.type.isEmpty())
                cell.type = QStringLiteral("n");
        }
    }
    if (xml.hasError())
        ADD_FAILURE() << "sheet XML: " << xml.errorString().toStdString();
    return cells;
}

int lastRow(const QMap<QString, XlsxCell> &cells)
{
    int last = 0;
    for (auto it = cells.begin(); it != cells.end(); ++it)
        last = std::max(last, rowOf(it.key()));
    return last;
}

} // namespace corvina::test
