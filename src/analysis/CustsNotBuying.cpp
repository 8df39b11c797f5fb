#include "analysis/CustsNotBuying.h"

#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "localdb/TableReplace.h"
#include "reporting/Workbook.h"
#include "state/ProgramState.h"

#include <QDir>

namespace corvina {

CustsNotBuying::CustsNotBuying(ProgramState &state, bool allItems, ChosenItem item)
    : m_state(state), m_allItems(allItems), m_item(allItems ? ChosenItem() : std::move(item))
{
}

Database &CustsNotBuying::db()
{
    if (!m_db)
        m_db.emplace(Database::open(m_state.appFile(QStringLiteral("QBData.mdb"))));
    return *m_db;
}

QString CustsNotBuying::labelCaption() const
{
    return m_allItems ? QStringLiteral("Customers who have not purchased any shown items.")
                      : QStringLiteral("Customers who have not purchased item:");
}

QString CustsNotBuying::title() const
{
    return m_allItems ? labelCaption() : labelCaption() + u' ' + m_item.name;
}

void CustsNotBuying::load()
{
    // A customer is left out when an invoice line names its ListID or the ListID of one of
    // its jobs (compared without case, as the columns' collation does); lines without a
    // customer ListID match nobody.
    const QString lines =
        QStringLiteral(
            "SELECT CustListID FROM Invoices WHERE CustListID IS NOT NULL AND CustListID <> ''") +
        (m_allItems ? QString() : QStringLiteral(" AND ") + m_item.invoiceCondition());
    const bool withJobs = hasTable(db(), QStringLiteral("CustomerJobs"));
    // Each job is looked up among the lines by index, so a file with few jobs costs little.
    const QString jobBuyers =
        QStringLiteral(
            " UNION ALL SELECT j.CustListID FROM CustomerJobs j WHERE j.CustListID IS "
            "NOT NULL AND EXISTS (SELECT 1 FROM Invoices i WHERE i.CustListID = j.ListID") +
        (m_allItems ? QString() : QStringLiteral(" AND i.") + m_item.invoiceCondition()) + u')';
    const QString buyers = withJobs ? lines + jobBuyers : lines;
    const QString sql =
        QStringLiteral("SELECT * FROM Customers WHERE ListID IS NULL OR ListID NOT IN (") + buyers +
        QStringLiteral(") ORDER BY Name");
    std::vector<QVariant> values;
    if (!m_allItems)
        values.assign(withJobs ? 2 : 1, m_item.invoiceValue());
    Recordset list = Recordset::fromQuery(db(), sql, values);
    list.setReadOnly(false);
    list.moveFirst();
    m_list = std::move(list);
}

bool CustsNotBuying::saveForMailMerge()
{
    Screen &screen = m_state.screen();
    const auto confirm = [&screen](const QVariant &stamp) {
        const QString previous = stamp.toString();
        const QString question =
            (previous == kAllItems
                 ? QStringLiteral(
                       "All previously saved customers who did not buy any item will be deleted. ")
                 : QStringLiteral("All previously saved customers who did not buy item ") +
                       previous + QStringLiteral(" will be deleted. ")) +
            QStringLiteral("Proceed?");
        return screen.message(question, QStringLiteral("Delete Previous Data"), Buttons::YesNo) ==
               Answer::Yes;
    };
    if (!replaceTableRows(db(), QStringLiteral("NoBuyCustomers"), m_list,
                          QStringLiteral("Customers"), QStringLiteral("Item"),
                          m_allItems ? kAllItems : m_item.name, confirm))
        return false;
    m_list.moveFirst();
    screen.message(
        QStringLiteral(
            "All customers who have not purchased the item(s) selected have been added "
            "to the NoBuyCustomers table in the database QBData.mdb. Reference these in your "
            "mail merge document(s)."),
        QStringLiteral("Customers Added"), Buttons::Ok);
    return true;
}

bool exportCustomerRows(Screen &screen, const Recordset &rows, const QString &title,
                        const QString &folder, const QString &fileName)
{
    screen.setBusyPointer(true);
    reporting::Workbook book;
    const int sheet = book.addSheet();
    book.setCell(sheet, 0, 0, title, reporting::CellStyle{true, true, {}});
    const auto &fields = rows.fields();
    for (size_t c = 0; c < fields.size(); ++c)
        book.setCell(sheet, 2, static_cast<int>(c), fields[c].name,
                     reporting::CellStyle{true, false, {}});
    for (int row = 0; row < rows.storedRowCount(); ++row) {
        std::vector<QVariant> values = rows.storedRow(row);
        // Yes/no columns (IsActive) read as in the grid and on paper.
        for (QVariant &value : values) {
            if (value.typeId() == QMetaType::Bool)
                value = value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        }
        book.setRow(sheet, row + 4, 0, values);
    }

    const QString path = QDir(folder).filePath(fileName);
    QString error;
    bool saved = false;
    int cutCells = 0;
    if (QDir().mkpath(folder))
        saved = book.save(path, &error, &cutCells);
    else
        error = QStringLiteral("The folder %1 could not be made.")
                    .arg(QDir::toNativeSeparators(folder));
    screen.setBusyPointer(false);
    if (saved) {
        QString text = QStringLiteral("Your customer data has been exported to ") +
                       QDir::toNativeSeparators(path);
        if (cutCells > 0)
            text += QChar(13) + reporting::cutCellsNote(cutCells);
        screen.message(text, QStringLiteral("Export Complete"), Buttons::Ok);
    } else
        screen.message(QStringLiteral("Your customer data could not be exported.") + QChar(13) +
                           error,
                       QStringLiteral("Export Failed"), Buttons::Ok);
    return saved;
}

bool CustsNotBuying::exportTo(const QString &folder)
{
    return exportCustomerRows(m_state.screen(), m_list, title(), folder, kExportFile);
}

} // namespace corvina
