#pragma once

#include "reporting/ReportRows.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

namespace corvina {

class ProgramState;

// A flat table of rows held in memory, for report data.
class TableRows : public reporting::ReportRows {
public:
    explicit TableRows(QStringList fields) : m_fields(std::move(fields)) {}

    int count() const override { return static_cast<int>(m_rows.size()); }
    int fieldIndex(const QString &name) const override;
    QVariant value(int row, int field) const override;
    void append(std::vector<QVariant> row) { m_rows.push_back(std::move(row)); }
    const QStringList &fields() const noexcept { return m_fields; }

private:
    QStringList m_fields;
    std::vector<std::vector<QVariant>> m_rows;
};

// Customer sales by state and zip: one parent row per customer (Name, BillAddr1–4, BillCity,
// BillState, BillZip, Contact, Phone, CustType, ListID) ordered by state, then zip; under
// "Child" one row per invoice of that customer (LDate, InvNo, TotAmt, LRep, CustListID), where
// LDate and LRep come from the invoice's last line in stored order and TotAmt sums its lines.
class CustSalesResult : public reporting::ReportRows {
public:
    int count() const override { return m_parents.count(); }
    int fieldIndex(const QString &name) const override { return m_parents.fieldIndex(name); }
    QVariant value(int row, int field) const override { return m_parents.value(row, field); }
    const reporting::ReportRows *children(int row, const QString &member) const override;

    static std::shared_ptr<CustSalesResult> build(const QString &appFolder);

private:
    CustSalesResult();
    TableRows m_parents;
    std::vector<std::unique_ptr<TableRows>> m_children; // one list per parent
};

// Builds the customer sales result afresh from QBData.mdb, replacing the one the program
// held, and returns it. Throws corvina::Error when the database cannot be read.
std::shared_ptr<CustSalesResult> GetCustSales(ProgramState &state);

} // namespace corvina
