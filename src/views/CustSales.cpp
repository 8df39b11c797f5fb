#include "views/CustSales.h"

#include "localdb/LocalDb.h"
#include "shell/ProgramState.h"

#include <QHash>

namespace corvina {

namespace {

const QStringList kParentFields = {u"Name"_qs,     u"BillAddr1"_qs, u"BillAddr2"_qs, u"BillAddr3"_qs,
                                   u"BillAddr4"_qs, u"BillCity"_qs,  u"BillState"_qs, u"BillZip"_qs,
                                   u"Contact"_qs,  u"Phone"_qs,     u"CustType"_qs,  u"ListID"_qs};
const QStringList kChildFields = {u"LDate"_qs, u"InvNo"_qs, u"TotAmt"_qs, u"LRep"_qs, u"CustListID"_qs};

std::vector<QVariant> rowOf(const Statement &st)
{
    std::vector<QVariant> row;
    row.reserve(static_cast<std::size_t>(st.columnCount()));
    for (int c = 0; c < st.columnCount(); ++c)
        row.push_back(st.value(c));
    return row;
}

} // namespace

int TableRows::fieldIndex(const QString &name) const
{
    for (qsizetype i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QVariant TableRows::value(int row, int field) const
{
    if (row < 0 || row >= count() || field < 0 || field >= m_fields.size())
        return {};
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)];
}

CustSalesResult::CustSalesResult() : m_parents(kParentFields) {}

const reporting::ReportRows *CustSalesResult::children(int row, const QString &member) const
{
    if (member.compare(u"Child", Qt::CaseInsensitive) != 0 || row < 0 || row >= count())
        return nullptr;
    return m_children[static_cast<std::size_t>(row)].get();
}

std::shared_ptr<CustSalesResult> CustSalesResult::build(const QString &appFolder)
{
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    std::shared_ptr<CustSalesResult> result(new CustSalesResult);

    // Parents in state and zip order; customers with the same state and zip stay in the
    // order they are stored.
    Statement parents = db.prepare(
        QStringLiteral("SELECT Name, BillAddr1, BillAddr2, BillAddr3, BillAddr4, BillCity, BillState, BillZip, "
                       "Contact, Phone, CustType, ListID FROM Customers ORDER BY BillState, BillZip, rowid"));
    QHash<QString, std::size_t> parentOfListId;
    while (parents.step()) {
        result->m_parents.append(rowOf(parents));
        result->m_children.push_back(std::make_unique<TableRows>(kChildFields));
        const QString listId = parents.value(11).toString().toCaseFolded();
        // With a repeated ListID the invoices go to the first customer that has it.
        parentOfListId.insert(listId, result->m_children.size() - 1);
    }

    // One row per invoice (customer and number); the last line in stored order gives the
    // date and the rep.
    Statement invoices = db.prepare(
        QStringLiteral("SELECT Last(InvDate, rowid) AS LDate, InvNo, Sum(Amt) AS TotAmt, Last(SalesRep, rowid) AS LRep, "
                       "CustListID FROM Invoices GROUP BY CustListID, InvNo ORDER BY CustListID, InvNo"));
    while (invoices.step()) {
        const QString key = invoices.value(4).toString().toCaseFolded();
        const auto it = parentOfListId.constFind(key);
        if (it == parentOfListId.constEnd())
            continue; // lines of a customer not in the local copy
        result->m_children[*it]->append(rowOf(invoices));
    }
    return result;
}

std::shared_ptr<CustSalesResult> GetCustSales(ProgramState &state)
{
    state.custSales().reset();
    auto result = CustSalesResult::build(state.appFolder());
    state.custSales() = result;
    return result;
}

} // namespace corvina
