#include "views/FieldPrintJob.h"

#include "views/CustomerList.h"
#include "views/FieldPrintSurface.h"

#include <algorithm>

namespace corvina {

namespace {

// The rule under a block runs this far past the right value's start.
constexpr double kRuleOverhang = 2.0;

} // namespace

const QString &FieldPrintJob::nameField()
{
    static const QString name = QStringLiteral("Name");
    return name;
}

FieldPrintJob::FieldPrintJob(const CustomerList &list, std::vector<int> columns,
                             FieldPrintHeader header)
    : m_list(list), m_names(list.columnNames()), m_columns(std::move(columns)),
      m_header(std::move(header))
{
    for (const int column : m_columns) {
        if (m_names.value(column).compare(nameField(), Qt::CaseInsensitive) == 0)
            m_nameColumn = column;
    }
}

void FieldPrintJob::start(FieldPrintSurface &surface)
{
    surface.clear();
    drawHeader(surface);
    FieldPrintMetrics metrics;
    metrics.lineHeight = m_layout.lineHeight;
    metrics.pageWidth = surface.pageWidth();
    metrics.pageHeight = surface.pageHeight();
    metrics.headerBottom = surface.y();
    metrics.fieldCount = static_cast<int>(m_columns.size());
    metrics.rowCount = m_list.rowCount();
    m_layout = FieldPrintLayout::compute(metrics);
}

void FieldPrintJob::drawHeader(FieldPrintSurface &surface)
{
    // One empty line at the top gives the height of a line in the normal font.
    surface.setX(0);
    surface.setY(0);
    surface.printLine();
    m_layout.lineHeight = surface.y();
    surface.setY(0);

    const double normalSize = surface.fontSize();
    surface.setFontSize(normalSize * 2);
    surface.setBold(true);
    surface.setItalic(true);
    // A title wider than the page is set smaller, down to the normal size, and never starts
    // left of the page: a long item name must not lose its first letters.
    for (double size = normalSize * 2;
         size > normalSize && surface.textWidth(m_header.title) > surface.pageWidth();) {
        size = std::max(normalSize, size * 0.9);
        surface.setFontSize(size);
    }
    surface.setX(std::max(0.0, (surface.pageWidth() - surface.textWidth(m_header.title)) / 2));
    surface.printLine(m_header.title);
    surface.setFontSize(normalSize);
    for (const QString &line : m_header.lines)
        surface.printLine(line);
    surface.setBold(false);
    surface.setItalic(false);
    surface.printLine();
    surface.printLine();
}

void FieldPrintJob::drawPage(FieldPrintSurface &surface, int page)
{
    surface.clear();
    if (page <= 1)
        drawHeader(surface);
    drawBlocks(surface, page);
}

void FieldPrintJob::printAll(FieldPrintSurface &surface)
{
    start(surface);
    for (int page = 1; page <= m_layout.pageCount; ++page) {
        if (page > 1)
            surface.newPage();
        drawBlocks(surface, page);
        const QString number = QStringLiteral("Page ") + QString::number(page);
        surface.setX((surface.pageWidth() - surface.textWidth(number)) / 2);
        surface.printLine(number);
    }
    surface.endDocument();
}

void FieldPrintJob::drawBlocks(FieldPrintSurface &surface, int page)
{
    const int end = m_layout.endRowOf(page, m_list.rowCount());
    for (int row = m_layout.firstRowOf(page); row < end; ++row)
        drawBlock(surface, row);
}

void FieldPrintJob::drawBlock(FieldPrintSurface &surface, int row)
{
    const FieldPrintLayout &at = m_layout;
    if (m_nameColumn >= 0) {
        surface.setBold(true);
        drawPair(surface, at.x1, at.x2, row, m_nameColumn, true);
        surface.setBold(false);
    }
    bool lineOpen = false;
    for (const int column : m_columns) {
        if (column == m_nameColumn)
            continue;
        if (lineOpen)
            drawPair(surface, at.x3, at.x4, row, column, true);
        else
            drawPair(surface, at.x1, at.x2, row, column, false);
        lineOpen = !lineOpen;
    }
    if (lineOpen)
        surface.printLine();
    surface.drawLine(at.x1, at.x4 + kRuleOverhang, surface.y());
    surface.printLine();
}

void FieldPrintJob::drawPair(FieldPrintSurface &surface, double labelX, double valueX, int row,
                             int column, bool endLine)
{
    surface.setX(labelX);
    surface.print(m_names.value(column));
    surface.setX(valueX);
    const QString value = customerValueText(m_list.value(row, column));
    if (endLine)
        surface.printLine(value);
    else
        surface.print(value);
}

PreviewStep previewStep(const PreviewAnswer &answer, int current, int pageCount)
{
    const int last = std::max(pageCount, 1);
    switch (answer.kind) {
    case PreviewAnswer::Kind::Next:
        if (current >= last)
            return {PreviewStep::Action::Finish, current};
        return {PreviewStep::Action::Show, current + 1};
    case PreviewAnswer::Kind::First: return {PreviewStep::Action::Show, 1};
    case PreviewAnswer::Kind::Last: return {PreviewStep::Action::Show, last};
    case PreviewAnswer::Kind::Page:
        return {PreviewStep::Action::Show, std::clamp(answer.page, 1, last)};
    case PreviewAnswer::Kind::Print: return {PreviewStep::Action::Print, current};
    case PreviewAnswer::Kind::Cancel: return {PreviewStep::Action::Finish, current};
    }
    return {PreviewStep::Action::Finish, current};
}

} // namespace corvina
