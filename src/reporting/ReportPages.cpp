#include "reporting/ReportPages.h"

namespace corvina::reporting {

struct ReportPages::State {
    std::shared_ptr<const ReportRows> rows;
    ReportLayout layout;
    PageSize size;
    std::vector<std::vector<Band>> pages;
};

ReportPages::ReportPages(std::shared_ptr<const ReportRows> rows, ReportLayout layout, PageSize size)
    : m(std::make_unique<State>())
{
    m->rows = std::move(rows);
    m->layout = std::move(layout);
    m->size = size;
    m->pages.emplace_back();
}

ReportPages::~ReportPages() = default;

const ReportLayout &ReportPages::layout() const { return m->layout; }
const ReportRows &ReportPages::rows() const { return *m->rows; }
PageSize ReportPages::pageSize() const { return m->size; }
bool ReportPages::ensurePage(int index) { return index == 0; }
bool ReportPages::paginateMore(int pages)
{
    (void)pages;
    return true;
}
bool ReportPages::isComplete() const { return true; }
int ReportPages::knownPageCount() const { return 1; }
int ReportPages::pageCount() { return 1; }
const std::vector<Band> &ReportPages::page(int index) { return m->pages.at(static_cast<size_t>(index)); }
const ReportSection &ReportPages::sectionOf(const Band &band) const
{
    return m->layout.sections.at(static_cast<size_t>(band.section));
}
QString ReportPages::controlText(const Band &band, const ReportControl &control) const
{
    (void)band;
    return control.caption;
}
QVariant ReportPages::fieldValue(const Band &band, const QString &field) const
{
    (void)band;
    (void)field;
    return {};
}
double ReportPages::sum(const Band &band, const QString &field) const
{
    (void)band;
    (void)field;
    return 0;
}

} // namespace corvina::reporting
