#pragma once

#include "reporting/ReportRows.h"

#include <QStringList>
#include <QVariantList>

#include <memory>
#include <vector>

namespace corvina::reporting {

// Report rows held in memory: a flat list, or parent rows each with its own list of child
// rows under one data member. For lists built in code (working lists, tests, benchmarks).
class MemoryRows : public ReportRows {
public:
    // Flat rows with these fields.
    explicit MemoryRows(QStringList fields);
    // Parent rows whose children sit under `member` with `childFields`.
    MemoryRows(QStringList fields, const QString &member, QStringList childFields);

    // Appends a row; missing trailing values are null, extra ones are dropped. Returns its index.
    int addRow(const QVariantList &values);
    // Appends a child row to `row`'s children; returns its index there.
    int addChild(int row, const QVariantList &values);

    int count() const override;
    int fieldIndex(const QString &name) const override;
    QVariant value(int row, int field) const override;
    const ReportRows *children(int row, const QString &member) const override;

private:
    QStringList m_fields;
    std::vector<QVariant> m_values;
    QString m_member;
    QStringList m_childFields;
    std::vector<std::unique_ptr<MemoryRows>> m_children;
};

} // namespace corvina::reporting
