#pragma once

#include <QString>
#include <QVariant>

namespace corvina::reporting {

// The rows a report prints: a flat list, or parent rows each holding a list of child rows
// under a data member (the detail section's rows). Reports read rows by index, so a source
// can hand out rows from memory or page them from the database.
class ReportRows {
public:
    virtual ~ReportRows() = default;

    virtual int count() const = 0;
    // The index of a field by name (case-insensitive), or -1.
    virtual int fieldIndex(const QString &name) const = 0;
    // A row's value; a null QVariant for an empty value.
    virtual QVariant value(int row, int field) const = 0;
    // The child rows of `row` under `member` ("Child"); null when the source has no such
    // member. The returned rows stay valid as long as this source does.
    virtual const ReportRows *children(int row, const QString &member) const
    {
        (void)row;
        (void)member;
        return nullptr;
    }
};

} // namespace corvina::reporting
