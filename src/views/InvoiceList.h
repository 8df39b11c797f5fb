#pragma once

#include "localdb/Database.h"
#include "views/InvoiceTotals.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvina {

// The invoice browser's columns, in the grid's order; each is the Invoices column of that name.
enum class InvoiceColumn {
    Customer,
    InvNo,
    InvDate,
    Class,
    SalesRep,
    ShipDate,
    ShipMethod,
    DueDate,
    FOB,
    Memo,
    PO,
    Terms,
    Amt,
    LineClass,
    Desc,
    ItemRef,
    ItemRefID,
    RateAmt,
    RatePct,
    Qty
};
inline constexpr int kInvoiceColumnCount = 20;
QString invoiceColumnName(InvoiceColumn column);

// The orders the browser offers, each ascending on one column.
enum class InvoiceSort { Customer, InvNo, InvDate, Class, SalesRep, ShipDate };
inline constexpr int kInvoiceSortCount = 6;
InvoiceColumn sortColumn(InvoiceSort sort);

// Every line of the Invoices table of QBData.mdb as a read-only table model, in one of the
// six orders. Rows are not copied: the model keeps each line's rowid in the current order
// (a few bytes a line) and reads the lines on view from SQLite, a block at a time.
//
// Display texts: dates in the general date form, Amt and RateAmt in the "Standard" number
// form, other numbers as they are; numbers are right-aligned. Empty values show nothing.
//
// The list reads the table as it was when listed. When another connection has changed the
// table since, the list is read again (a model reset, in the same order) the next time it is
// sorted, refreshed, or reads rows for the view.
class InvoiceList : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit InvoiceList(QObject *parent = nullptr);
    ~InvoiceList() override;

    // Opens the database file read-only with a connection of its own and lists every line
    // in customer order. Throws Error; the list then stays as it was.
    void open(const QString &dbPath);
    bool isOpen() const noexcept { return m_db != nullptr; }
    // The list's connection, only while open. Another open() replaces it, so whatever was
    // made on it (statements, InvoiceTotals) must be gone by then.
    Database &connection() { return *m_db; }

    // Sorts ascending on the order's column, empty values first; lines that compare equal
    // keep their customer order (lines of one customer: stored order). Persistent indexes
    // follow their lines. Throws Error; the order then stays as it was.
    void sortBy(InvoiceSort sort);
    InvoiceSort sort() const noexcept { return m_sort; }

    // Reads the list again when the table was changed by another connection since it was
    // listed; true when it did. Throws Error.
    bool refreshIfChanged();

    // The invoice of the line at `row`; empty for a row out of range or unreadable.
    InvoiceKey invoiceAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // A reading of the list that no caller waited for (a refresh noticed while rows were
    // read for the view) failed.
    void refreshFailed(const QString &description, qint32 number);

private:
    struct Line {
        std::array<QVariant, kInvoiceColumnCount> values;
        QString customerListId;
    };
    struct Block {
        int first = -1; // the block's first row
        std::uint64_t lastUse = 0;
        std::vector<Line> lines;
    };
    struct Listing;

    Listing readListing(InvoiceSort sort);
    void resetTo(Listing listing);
    void applyOrder(std::vector<std::uint32_t> order);
    const Line *line(int row) const;
    bool fetchBlock(Block &block, int first) const;
    void scheduleRefresh() const;
    void refreshNow();
    std::int64_t dataVersion() const;

    std::unique_ptr<Database> m_db;
    std::unique_ptr<Statement> m_readLine;
    InvoiceSort m_sort = InvoiceSort::Customer;
    std::int64_t m_version = 0;
    std::vector<std::int64_t> m_rowids;      // by position in stored order
    std::vector<std::uint32_t> m_byCustomer; // customer order: row → stored position
    std::vector<std::uint32_t> m_order;      // current order: row → stored position
    // Orders sorted before, by sort, while the table stays as listed (empty: not yet).
    std::array<std::vector<std::uint32_t>, kInvoiceSortCount> m_orders;
    mutable std::vector<Block> m_cache;
    mutable std::uint64_t m_useClock = 0;
    mutable bool m_refreshPending = false;
};

} // namespace corvina
