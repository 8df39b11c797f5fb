#include "reporting/ReportLayout.h"

#include <utility>

namespace corvina::reporting {

ReportControl ReportControl::withFont(const ReportFont &f) const
{
    ReportControl copy = *this;
    copy.font = f;
    return copy;
}

ReportControl ReportControl::withAlign(Align a) const
{
    ReportControl copy = *this;
    copy.align = a;
    return copy;
}

ReportControl ReportControl::hidden() const
{
    ReportControl copy = *this;
    copy.visible = false;
    return copy;
}

ReportControl label(const QString &name, const QString &caption, TwipRect rect, Align align)
{
    ReportControl c;
    c.kind = ControlKind::Label;
    c.name = name;
    c.caption = caption;
    c.rect = rect;
    c.align = align;
    return c;
}

ReportControl textBox(const QString &name, const QString &field, TwipRect rect, Align align,
                      const QString &format)
{
    ReportControl c;
    c.kind = ControlKind::TextBox;
    c.name = name;
    c.field = field;
    c.rect = rect;
    c.align = align;
    c.format = format;
    return c;
}

ReportControl line(const QString &name, int x1, int y1, int x2, int y2)
{
    ReportControl c;
    c.kind = ControlKind::Line;
    c.name = name;
    c.x1 = x1;
    c.y1 = y1;
    c.x2 = x2;
    c.y2 = y2;
    return c;
}

ReportControl sumFunction(const QString &name, const QString &field, TwipRect rect, Align align,
                          const QString &format)
{
    ReportControl c = textBox(name, field, rect, align, format);
    c.kind = ControlKind::Function;
    return c;
}

ReportSection section(SectionKind kind, const QString &name, int height,
                      std::vector<ReportControl> controls)
{
    ReportSection s;
    s.kind = kind;
    s.name = name;
    s.height = height;
    s.controls = std::move(controls);
    return s;
}

ReportSection detailSection(const QString &name, int height, const QString &dataMember,
                            std::vector<ReportControl> controls)
{
    ReportSection s = section(SectionKind::Detail, name, height, std::move(controls));
    s.dataMember = dataMember;
    return s;
}

const ReportSection *ReportLayout::section(SectionKind kind) const
{
    for (const ReportSection &s : sections) {
        if (s.kind == kind)
            return &s;
    }
    return nullptr;
}

ReportSection *ReportLayout::section(SectionKind kind)
{
    return const_cast<ReportSection *>(std::as_const(*this).section(kind));
}

const ReportControl *ReportLayout::control(const QString &name) const
{
    for (const ReportSection &s : sections) {
        for (const ReportControl &c : s.controls) {
            if (c.name == name)
                return &c;
        }
    }
    return nullptr;
}

ReportControl *ReportLayout::control(const QString &name)
{
    return const_cast<ReportControl *>(std::as_const(*this).control(name));
}

QString ReportLayout::dataMember() const
{
    const ReportSection *detail = section(SectionKind::Detail);
    return detail ? detail->dataMember : QString();
}

} // namespace corvina::reporting
