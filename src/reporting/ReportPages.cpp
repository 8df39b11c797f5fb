#include "reporting/ReportPages.h"

#include "reporting/Format.h"
#include "reporting/MemoryRows.h"

#include <map>

namespace corvina::reporting {

namespace {

// A position in the stream of body sections: group header, its details, group footer for
// each top-level row (or one detail per row without groups), then the report footer.
struct Cursor {
    enum Part { GroupHeader, Detail, GroupFooter, ReportFooter, End };
    Part part = GroupHeader;
    int row = 0;
    int child = 0;
};

bool addTo(double &total, const QVariant &value)
{
    if (value.isNull())
        return false;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (ok)
        total += number;
    return ok;
}

} // namespace

struct ReportPages::State {
    std::shared_ptr<const ReportRows> rows;
    ReportLayout layout;
    PageSize size;
    QString member;
    // Indices of the sections that print, -1 for those absent or hidden.
    int reportHeader = -1;
    int pageHeader = -1;
    int groupHeader = -1;
    int detail = -1;
    int groupFooter = -1;
    int pageFooter = -1;
    int reportFooter = -1;

    std::vector<std::vector<Band>> pages;
    Cursor cursor;
    bool complete = false;
    mutable std::map<QString, double> reportSums;

    bool grouped() const { return !member.isEmpty(); }
    int height(int sectionIndex) const
    {
        return layout.sections[static_cast<size_t>(sectionIndex)].height;
    }
    const ReportRows *children(int row) const { return rows->children(row, member); }
    int childCount(int row) const
    {
        const ReportRows *c = children(row);
        return c ? c->count() : 0;
    }

    void findSections();
    void normalize(Cursor &c) const;
    Cursor advanced(Cursor c) const;
    Band bandAt(const Cursor &c) const;
    bool keepsWithNext(const Cursor &c, int &nextHeight) const;
    void layOutNextPage();
};

void ReportPages::State::findSections()
{
    for (size_t i = 0; i < layout.sections.size(); ++i) {
        const ReportSection &s = layout.sections[i];
        if (!s.visible)
            continue;
        const int index = static_cast<int>(i);
        switch (s.kind) {
        case SectionKind::ReportHeader: reportHeader = index; break;
        case SectionKind::PageHeader: pageHeader = index; break;
        case SectionKind::GroupHeader: groupHeader = index; break;
        case SectionKind::Detail: detail = index; break;
        case SectionKind::GroupFooter: groupFooter = index; break;
        case SectionKind::PageFooter: pageFooter = index; break;
        case SectionKind::ReportFooter: reportFooter = index; break;
        }
    }
    // Without a data member there are no groups, so group sections never print.
    if (!grouped()) {
        groupHeader = -1;
        groupFooter = -1;
    }
}

// Moves the cursor forward to the next section that prints (or to the end).
void ReportPages::State::normalize(Cursor &c) const
{
    const int count = rows->count();
    for (;;) {
        switch (c.part) {
        case Cursor::GroupHeader:
            if (!grouped()) {
                c = {Cursor::Detail, 0, -1};
            } else if (c.row >= count) {
                c.part = Cursor::ReportFooter;
            } else if (groupHeader >= 0) {
                return;
            } else {
                c.part = Cursor::Detail;
                c.child = 0;
            }
            break;
        case Cursor::Detail:
            if (!grouped()) {
                if (detail >= 0 && c.row < count)
                    return;
                c.part = Cursor::ReportFooter;
            } else if (detail >= 0 && c.child < childCount(c.row)) {
                return;
            } else {
                c.part = Cursor::GroupFooter;
            }
            break;
        case Cursor::GroupFooter:
            if (groupFooter >= 0)
                return;
            c = {Cursor::GroupHeader, c.row + 1, 0};
            break;
        case Cursor::ReportFooter:
            if (reportFooter >= 0)
                return;
            c.part = Cursor::End;
            return;
        case Cursor::End: return;
        }
    }
}

Cursor ReportPages::State::advanced(Cursor c) const
{
    switch (c.part) {
    case Cursor::GroupHeader: c = {Cursor::Detail, c.row, 0}; break;
    case Cursor::Detail:
        if (grouped())
            ++c.child;
        else
            ++c.row;
        break;
    case Cursor::GroupFooter: c = {Cursor::GroupHeader, c.row + 1, 0}; break;
    case Cursor::ReportFooter: c.part = Cursor::End; break;
    case Cursor::End: break;
    }
    normalize(c);
    return c;
}

Band ReportPages::State::bandAt(const Cursor &c) const
{
    switch (c.part) {
    case Cursor::GroupHeader: return {groupHeader, 0, c.row, -1};
    case Cursor::Detail: return {detail, 0, c.row, grouped() ? c.child : -1};
    case Cursor::GroupFooter: return {groupFooter, 0, c.row, -1};
    case Cursor::ReportFooter: return {reportFooter, 0, -1, -1};
    case Cursor::End: break;
    }
    return {};
}

// A group header keeps with the section that follows it in its own group.
bool ReportPages::State::keepsWithNext(const Cursor &c, int &nextHeight) const
{
    if (c.part != Cursor::GroupHeader)
        return false;
    const Cursor next = advanced(c);
    if (next.row != c.row || (next.part != Cursor::Detail && next.part != Cursor::GroupFooter))
        return false;
    nextHeight = height(bandAt(next).section);
    return true;
}

void ReportPages::State::layOutNextPage()
{
    std::vector<Band> bands;
    int y = layout.margins.top;
    if (pages.empty() && reportHeader >= 0) {
        bands.push_back({reportHeader, y, -1, -1});
        y += height(reportHeader);
    }
    if (pageHeader >= 0) {
        bands.push_back({pageHeader, y, -1, -1});
        y += height(pageHeader);
    }
    const int limit =
        size.height - layout.margins.bottom - (pageFooter >= 0 ? height(pageFooter) : 0);

    bool bodyPlaced = false;
    while (cursor.part != Cursor::End) {
        Band band = bandAt(cursor);
        const int h = height(band.section);
        int nextHeight = 0;
        const int needed = keepsWithNext(cursor, nextHeight) ? h + nextHeight : h;
        // A page takes at least one body section, so a section taller than the page
        // still prints (clipped) and pagination always ends.
        if (bodyPlaced && y + needed > limit)
            break;
        band.top = y;
        bands.push_back(band);
        y += h;
        bodyPlaced = true;
        cursor = advanced(cursor);
    }
    if (pageFooter >= 0)
        bands.push_back({pageFooter, limit, -1, -1});
    pages.push_back(std::move(bands));
    complete = cursor.part == Cursor::End;
}

ReportPages::ReportPages(std::shared_ptr<const ReportRows> rows, ReportLayout layout, PageSize size)
    : m(std::make_unique<State>())
{
    // No rows at all print as a report without rows.
    m->rows = rows ? std::move(rows) : std::make_shared<MemoryRows>(QStringList());
    m->layout = std::move(layout);
    m->size = size;
    m->member = m->layout.dataMember();
    m->findSections();
    m->normalize(m->cursor);
}

ReportPages::~ReportPages() = default;

const ReportLayout &ReportPages::layout() const
{
    return m->layout;
}
const ReportRows &ReportPages::rows() const
{
    return *m->rows;
}
PageSize ReportPages::pageSize() const
{
    return m->size;
}

bool ReportPages::ensurePage(int index)
{
    if (index < 0)
        return false;
    while (!m->complete && knownPageCount() <= index)
        m->layOutNextPage();
    return index < knownPageCount();
}

bool ReportPages::paginateMore(int pages)
{
    for (int i = 0; i < pages && !m->complete; ++i)
        m->layOutNextPage();
    return m->complete;
}

bool ReportPages::isComplete() const
{
    return m->complete;
}

int ReportPages::knownPageCount() const
{
    return static_cast<int>(m->pages.size());
}

int ReportPages::pageCount()
{
    while (!m->complete)
        m->layOutNextPage();
    return knownPageCount();
}

const std::vector<Band> &ReportPages::page(int index)
{
    ensurePage(index);
    return m->pages.at(static_cast<size_t>(index));
}

const ReportSection &ReportPages::sectionOf(const Band &band) const
{
    return m->layout.sections.at(static_cast<size_t>(band.section));
}

QVariant ReportPages::fieldValue(const Band &band, const QString &field) const
{
    const ReportRows *source = nullptr;
    int index = -1;
    switch (sectionOf(band).kind) {
    case SectionKind::GroupHeader:
    case SectionKind::GroupFooter:
        source = m->rows.get();
        index = band.row;
        break;
    case SectionKind::Detail:
        source = band.childRow >= 0 ? m->children(band.row) : m->rows.get();
        index = band.childRow >= 0 ? band.childRow : band.row;
        break;
    default: return {};
    }
    if (!source || index < 0 || index >= source->count())
        return {};
    const int column = source->fieldIndex(field);
    return column < 0 ? QVariant() : source->value(index, column);
}

double ReportPages::sum(const Band &band, const QString &field) const
{
    const auto sumOver = [&field](const ReportRows *source) {
        double total = 0;
        if (!source)
            return total;
        const int column = source->fieldIndex(field);
        if (column < 0)
            return total;
        for (int i = 0; i < source->count(); ++i)
            addTo(total, source->value(i, column));
        return total;
    };
    switch (sectionOf(band).kind) {
    case SectionKind::GroupHeader:
    case SectionKind::GroupFooter: return sumOver(m->children(band.row));
    case SectionKind::Detail: {
        double total = 0;
        addTo(total, fieldValue(band, field));
        return total;
    }
    case SectionKind::ReportHeader:
    case SectionKind::ReportFooter: {
        const auto cached = m->reportSums.find(field.toLower());
        if (cached != m->reportSums.end())
            return cached->second;
        double total = 0;
        if (m->grouped()) {
            for (int row = 0; row < m->rows->count(); ++row)
                total += sumOver(m->children(row));
        } else {
            total = sumOver(m->rows.get());
        }
        m->reportSums.emplace(field.toLower(), total);
        return total;
    }
    default: return 0;
    }
}

QString ReportPages::controlText(const Band &band, const ReportControl &control) const
{
    switch (control.kind) {
    case ControlKind::Label: return control.caption;
    case ControlKind::TextBox: return formatValue(fieldValue(band, control.field), control.format);
    case ControlKind::Function: {
        const SectionKind kind = sectionOf(band).kind;
        // A page has no rows of its own to sum.
        if (kind == SectionKind::PageHeader || kind == SectionKind::PageFooter)
            return {};
        return formatValue(sum(band, control.field), control.format);
    }
    case ControlKind::Line: break;
    }
    return {};
}

} // namespace corvina::reporting
