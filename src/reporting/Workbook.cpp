#include "reporting/Workbook.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <cstdio>
#include <tuple>

namespace corvina::reporting {

namespace detail {

// The formats a workbook needs, made once per distinct style.
class XlsxFormats {
public:
    explicit XlsxFormats(lxw_workbook *book) : m_book(book) {}

    lxw_format *get(const CellStyle &style, const char *dateFormat)
    {
        QByteArray numFormat = dateFormat ? QByteArray(dateFormat) : style.numberFormat.toUtf8();
        if (!style.bold && !style.italic && numFormat.isEmpty())
            return nullptr;
        const auto key = std::make_tuple(style.bold, style.italic, numFormat);
        auto it = m_formats.find(key);
        if (it != m_formats.end())
            return it->second;
        lxw_format *format = workbook_add_format(m_book);
        if (style.bold)
            format_set_bold(format);
        if (style.italic)
            format_set_italic(format);
        if (!numFormat.isEmpty())
            format_set_num_format(format, numFormat.constData());
        m_formats.emplace(key, format);
        return format;
    }

private:
    lxw_workbook *m_book;
    std::map<std::tuple<bool, bool, QByteArray>, lxw_format *> m_formats;
};

} // namespace detail

namespace {

using detail::XlsxFormats;

const char *const kDateFormat = "m/d/yyyy";
const char *const kDateTimeFormat = "m/d/yyyy h:mm:ss AM/PM";

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort: return true;
    default: return false;
    }
}

lxw_datetime toLxw(const QDateTime &dt)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    return lxw_datetime{d.year(), d.month(),  d.day(),
                        t.hour(), t.minute(), t.second() + t.msec() / 1000.0};
}

// A text cut to what one cell holds, never in the middle of a surrogate pair; Excel counts
// UTF-16 units, so the result also holds no more characters than the limit.
QString cellText(const QString &text, bool *cut)
{
    *cut = text.size() > Workbook::kMaxCellText;
    if (!*cut)
        return text;
    qsizetype length = Workbook::kMaxCellText;
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

lxw_error writeCell(lxw_worksheet *sheet, XlsxFormats &formats, int row, int column,
                    const QVariant &value, const CellStyle &style, bool *cut)
{
    *cut = false;
    const auto r = static_cast<lxw_row_t>(row);
    const auto c = static_cast<lxw_col_t>(column);
    if (value.isNull() || !value.isValid()) {
        lxw_format *format = formats.get(style, nullptr);
        return format ? worksheet_write_blank(sheet, r, c, format) : LXW_NO_ERROR;
    }
    if (value.typeId() == QMetaType::Bool)
        return worksheet_write_boolean(sheet, r, c, value.toBool() ? 1 : 0,
                                       formats.get(style, nullptr));
    if (isNumber(value))
        return worksheet_write_number(sheet, r, c, value.toDouble(), formats.get(style, nullptr));
    if (value.typeId() == QMetaType::QDate) {
        lxw_datetime dt = toLxw(QDateTime(value.toDate(), QTime(0, 0)));
        return worksheet_write_datetime(sheet, r, c, &dt, formats.get(style, kDateFormat));
    }
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime when = value.toDateTime();
        lxw_datetime dt = toLxw(when);
        const bool hasTime = when.time() != QTime(0, 0);
        return worksheet_write_datetime(
            sheet, r, c, &dt, formats.get(style, hasTime ? kDateTimeFormat : kDateFormat));
    }
    const QByteArray text = cellText(value.toString(), cut).toUtf8();
    return worksheet_write_string(sheet, r, c, text.constData(), formats.get(style, nullptr));
}

QString lxwText(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

} // namespace

int Workbook::addSheet(const QString &name)
{
    const int index = sheetCount();
    m_sheets.push_back(
        Sheet{name.isEmpty() ? QStringLiteral("Sheet%1").arg(index + 1) : name, {}, false});
    return index;
}

int Workbook::styleIndex(const CellStyle &style)
{
    for (size_t i = 0; i < m_styles.size(); ++i) {
        const CellStyle &known = m_styles[i];
        if (known.bold == style.bold && known.italic == style.italic &&
            known.numberFormat == style.numberFormat)
            return static_cast<int>(i);
    }
    m_styles.push_back(style);
    return static_cast<int>(m_styles.size()) - 1;
}

void Workbook::setCell(int sheet, int row, int column, const QVariant &value,
                       const CellStyle &style)
{
    Sheet &target = m_sheets.at(static_cast<size_t>(sheet));
    if (row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns) {
        target.outside = true;
        return;
    }
    std::vector<Cell> &cells = target.rows[row];
    const auto at = static_cast<size_t>(column);
    if (cells.size() <= at)
        cells.resize(at + 1);
    cells[at] = Cell{value, styleIndex(style)};
}

void Workbook::setRow(int sheet, int row, int column, const std::vector<QVariant> &values,
                      const CellStyle &style)
{
    for (const QVariant &value : values)
        setCell(sheet, row, column++, value, style);
}

bool Workbook::save(const QString &path, QString *error, int *cutCells) const
{
    if (cutCells)
        *cutCells = 0;
    for (const Sheet &sheet : m_sheets) {
        if (sheet.outside) {
            if (error)
                *error = QStringLiteral("Sheet %1 has more rows or columns than a workbook can "
                                        "hold (%2 rows, %3 columns).")
                             .arg(sheet.name)
                             .arg(kMaxRows)
                             .arg(kMaxColumns);
            return false;
        }
    }
    WorkbookWriter writer(path);
    for (const Sheet &sheet : m_sheets) {
        writer.addSheet(sheet.name);
        for (const auto &[row, cells] : sheet.rows) {
            for (size_t column = 0; column < cells.size(); ++column) {
                const Cell &cell = cells[column];
                if (cell.style >= 0)
                    writer.setCell(row, static_cast<int>(column), cell.value,
                                   m_styles[static_cast<size_t>(cell.style)]);
            }
        }
    }
    const bool saved = writer.finish(error);
    if (saved && cutCells)
        *cutCells = writer.cutCells();
    return saved;
}

WorkbookWriter::WorkbookWriter(const QString &path)
    : m_path(path), m_partPath(path + QStringLiteral(".part"))
{
    const QFileInfo target(path);
    if (!target.dir().exists()) {
        m_failure = QStringLiteral("The folder %1 does not exist.")
                        .arg(QDir::toNativeSeparators(target.absolutePath()));
        return;
    }
    // Written beside the target first so that a failed write leaves an existing file alone.
    QFile::remove(m_partPath);
    // Rows go to disk as they are written, so a large sheet never sits in memory.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    m_book = workbook_new_opt(QFile::encodeName(m_partPath).constData(), &options);
    if (!m_book) {
        m_failure =
            QStringLiteral("Could not start the workbook %1.").arg(QDir::toNativeSeparators(path));
        return;
    }
    m_formats = std::make_unique<XlsxFormats>(m_book);
}

void WorkbookWriter::addSheet(const QString &name)
{
    if (!m_failure.isEmpty())
        return;
    const QString sheetName =
        name.isEmpty() ? QStringLiteral("Sheet%1").arg(m_sheetCount + 1) : name;
    m_sheet = workbook_add_worksheet(m_book, sheetName.toUtf8().constData());
    ++m_sheetCount;
    if (!m_sheet)
        m_failure = QStringLiteral("\"%1\" cannot be used as a sheet name.").arg(sheetName);
}

WorkbookWriter::~WorkbookWriter()
{
    if (m_book) {
        workbook_close(m_book);
        QFile::remove(m_partPath);
    }
}

void WorkbookWriter::setCell(int row, int column, const QVariant &value, const CellStyle &style)
{
    if (m_failure.isEmpty() && !m_sheet)
        addSheet({});
    if (!m_failure.isEmpty())
        return;
    if (row < 0 || row >= Workbook::kMaxRows || column < 0 || column >= Workbook::kMaxColumns) {
        m_failure = QStringLiteral("The sheet has more rows or columns than a workbook can hold "
                                   "(%1 rows, %2 columns).")
                        .arg(Workbook::kMaxRows)
                        .arg(Workbook::kMaxColumns);
        return;
    }
    bool cut = false;
    const lxw_error e = writeCell(m_sheet, *m_formats, row, column, value, style, &cut);
    if (cut)
        ++m_cutCells;
    if (e != LXW_NO_ERROR)
        m_failure = QStringLiteral("The workbook %1 could not be written: %2.")
                        .arg(QDir::toNativeSeparators(m_path), lxwText(e));
}

bool WorkbookWriter::finish(QString *error)
{
    auto fail = [&](const QString &reason) {
        if (m_book) {
            workbook_close(m_book);
            m_book = nullptr;
        }
        QFile::remove(m_partPath);
        if (error)
            *error = reason;
        return false;
    };
    if (m_failure.isEmpty() && m_sheetCount == 0)
        addSheet({}); // a workbook needs one sheet at least
    if (!m_failure.isEmpty())
        return fail(m_failure);
    const lxw_error closed = workbook_close(m_book);
    m_book = nullptr;
    if (closed != LXW_NO_ERROR)
        return fail(QStringLiteral("The workbook %1 could not be written: %2.")
                        .arg(QDir::toNativeSeparators(m_path), lxwText(closed)));
    // rename() replaces the target in one step: readers see the old file or the new one.
    if (std::rename(QFile::encodeName(m_partPath).constData(),
                    QFile::encodeName(m_path).constData()) != 0)
        return fail(
            QStringLiteral("The workbook %1 could not be replaced; is it open in another program?")
                .arg(QDir::toNativeSeparators(m_path)));
    return true;
}

QString cutCellsNote(int cutCells)
{
    if (cutCells <= 0)
        return {};
    if (cutCells == 1)
        return QStringLiteral("One cell held more than 32,767 characters, the most a cell can "
                              "hold; it was written cut to that length.");
    return QStringLiteral("%1 cells held more than 32,767 characters, the most a cell can hold; "
                          "they were written cut to that length.")
        .arg(cutCells);
}

} // namespace corvina::reporting
