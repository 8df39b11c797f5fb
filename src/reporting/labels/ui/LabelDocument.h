#pragma once

#include "reporting/labels/LabelFit.h"
#include "reporting/labels/LabelSheet.h"
#include "reporting/labels/MailingList.h"
#include "reporting/ui/PagedDocument.h"

#include <QFont>

#include <memory>
#include <unordered_map>
#include <vector>

namespace corvina {

// Label text measured in the labels' font: widths taken once per text at a large size on a
// 72 dpi device (one pixel a point) and scaled, so the fit does not depend on the device
// the labels are painted on.
class FontMeasure : public TextMeasure {
public:
    explicit FontMeasure(const QString &family);
    double width(const QString &text, double pointSize) const override;
    double lineHeight(double pointSize) const override;
    QFont font(double pointSize) const;

private:
    QFont m_font;
    double m_lineHeight = 0; // at the reference size
    mutable std::unordered_map<QString, double> m_widths;
};

// A sheet of mailing labels over the report preview's paging, printing and PDF. Each label
// is fitted (shrunk, then cut with an ellipsis) when its page is first painted, or ahead of
// that by fitMore(), which the count of cut labels needs.
class LabelDocument : public reporting::PagedDocument {
public:
    LabelDocument(std::shared_ptr<const LabelRows> rows, LabelSheet sheet, QString caption);
    ~LabelDocument() override;

    QString caption() const override;
    const QPageLayout &paper() const override;
    reporting::PageSequence &pages() override;
    bool paintPage(QPainter &painter, int pageIndex) override;

    const LabelSheet &sheet() const { return m_sheet; }
    int labelCount() const { return static_cast<int>(m_rows->labels.size()); }
    // The label as printed, fitting it when not yet done.
    const FittedLabel &fitted(int index);
    // Fits up to `count` labels not yet fitted; true once every label is.
    bool fitMore(int count);
    bool allFitted() const { return m_fittedCount == labelCount(); }
    // Labels cut so far (all of them once allFitted()).
    int cutCount() const { return m_cutCount; }

private:
    class SheetPages;

    std::shared_ptr<const LabelRows> m_rows;
    LabelSheet m_sheet;
    QString m_caption;
    QPageLayout m_paper;
    std::unique_ptr<SheetPages> m_pages;
    FontMeasure m_measure;
    std::vector<FittedLabel> m_fitted;
    std::vector<bool> m_isFitted;
    int m_fittedCount = 0;
    int m_cutCount = 0;
    int m_nextToFit = 0;
};

} // namespace corvina
