#pragma once

#include "analysis/ItemAging.h"
#include "analysis/LineGroups.h"
#include "reporting/ReportRows.h"

#include <QVariant>
#include <QVariantList>

#include <memory>
#include <vector>

// The rows of the Item Analyzer's two-level result, over the grouped invoice lines.
namespace corvina::itemaging {

struct CustomerFacts {
    QVariant state;
    QVariant type;
};

// The values many child rows share, made once: names, ListIDs, classes, dates and the
// customers' state and type, by dictionary id.
struct SharedValues {
    std::vector<LineGroup> groups;
    std::vector<QVariant> customers;
    std::vector<QVariant> listIds;
    std::vector<QVariant> classes;
    std::vector<QVariant> dates;
    std::vector<CustomerFacts> facts; // by customer text id
};

// One item's customers, read from their groups: a child row costs a group number, not ten
// stored values.
class ChildRows : public reporting::ReportRows {
public:
    explicit ChildRows(std::shared_ptr<const SharedValues> shared) : m_shared(std::move(shared)) {}
    void add(int group) { m_groups.push_back(group); }

    int count() const override { return static_cast<int>(m_groups.size()); }
    int fieldIndex(const QString &name) const override;
    QVariant value(int row, int field) const override;

private:
    std::shared_ptr<const SharedValues> m_shared;
    std::vector<int> m_groups;
};

// rsItemAging: the items in memory, each with its customers under "Child".
class ItemAgingRows : public reporting::ReportRows {
public:
    int addItem(const QVariantList &values, std::shared_ptr<const SharedValues> shared);
    ChildRows &childrenOf(int row) { return *m_children[static_cast<size_t>(row)]; }
    void setPeriod(const QVariant &first, const QVariant &last);
    const QVariant &firstDate() const { return m_firstDate; }
    const QVariant &lastDate() const { return m_lastDate; }

    int count() const override { return static_cast<int>(m_items.size()); }
    int fieldIndex(const QString &name) const override;
    QVariant value(int row, int field) const override;
    const ReportRows *children(int row, const QString &member) const override;

private:
    std::vector<QVariantList> m_items;
    std::vector<std::unique_ptr<ChildRows>> m_children;
    QVariant m_firstDate; // of the invoice lines analysed; null without a dated line
    QVariant m_lastDate;
};

} // namespace corvina::itemaging
