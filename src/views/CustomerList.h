#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

namespace corvina {

class Recordset;

// The customer rows a window shows and prints: named columns, rows in the window's order
// (after its filter), and a current row. Each window keeps a list of its own; the field
// printing prints the list of the window it was opened from.
class CustomerList {
public:
    virtual ~CustomerList() = default;

    // Column names in column order.
    virtual QStringList columnNames() const = 0;
    virtual int rowCount() const = 0;
    // The value of a row (0-based, in list order) and column, typed as Recordset values are;
    // a null QVariant for an empty value.
    virtual QVariant value(int row, int column) const = 0;
    // -1 when no row is current.
    virtual int currentRow() const = 0;
    // `row` outside 0..rowCount()-1 leaves no row current.
    virtual void setCurrentRow(int row) = 0;
};

// A list without columns or rows, for a window whose own list could not be opened.
class EmptyCustomerList : public CustomerList {
public:
    QStringList columnNames() const override { return {}; }
    int rowCount() const override { return 0; }
    QVariant value(int, int) const override { return {}; }
    int currentRow() const override { return -1; }
    void setCurrentRow(int) override {}
};

// The visible rows of a Recordset as a customer list; the recordset's cursor is the current
// row. The recordset must outlive the list.
class RecordsetCustomerList : public CustomerList {
public:
    explicit RecordsetCustomerList(Recordset &rows) : m_rows(rows) {}

    QStringList columnNames() const override;
    int rowCount() const override;
    QVariant value(int row, int column) const override;
    int currentRow() const override;
    void setCurrentRow(int row) override;

private:
    Recordset &m_rows;
};

// A value as the grid shows it and the printing prints it: empty for null, "True"/"False",
// dates as the main window shows them, numbers in their shortest exact form.
QString customerValueText(const QVariant &value);

} // namespace corvina
