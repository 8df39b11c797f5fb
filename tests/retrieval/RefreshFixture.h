#pragma once

// A company kept as records, written the way QuickBooks answers (names resolved live, so a
// renamed customer or item shows its new name in every reference without those records
// being modified), and a fixture that retrieves, refreshes and compares the local tables
// with what a full retrieval writes.

#include "support/RetrievalFixture.h"

#include <QDate>
#include <QString>

#include <map>
#include <ostream>
#include <set>
#include <vector>

// Readable failure messages for the table comparisons.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace corvina::test {

struct TestCompany {
    struct Customer {
        QString id, name, parent; // parent: ListID, empty for a top-level customer
        QString modified;
        bool active = true;
    };
    struct Line {
        QString itemId;
        double amount = 0;
    };
    struct Invoice {
        QString id, customerId;
        QDate date;
        QString modified;
        std::vector<Line> lines;
    };
    struct Item {
        QString id, name, parent;
        QString modified;
        bool active = true;
        QString kind = QStringLiteral("ItemService");
    };
    struct Deletion {
        QString type, id, deleted;
    };

    std::vector<Customer> customers;
    std::vector<Invoice> invoices;
    std::vector<Item> items;
    std::vector<Deletion> txnDeletions, listDeletions;

    Customer &customer(const QString &id);
    Invoice &invoice(const QString &id);
    Item &item(const QString &id);
    QString customerFullName(const QString &id) const;
    QString itemFullName(const QString &id) const;
    // The company file document.
    QByteArray document() const;
};

class RefreshFixture : public RetrievalFixture {
protected:
    RefreshFixture();

    // Writes the company to the same path each time and (re)opens the stand-in on it.
    void publish();
    // Full retrievals of customers and of invoices of the period (dialog texts).
    void retrieveCustomers();
    void retrieveInvoices(const QString &from, const QString &to);
    // Every row of Customers, CustomerJobs, Invoices and Items, as texts, per table.
    using Tables = std::map<QString, std::multiset<QString>>;
    Tables tables();
    Tables tablesIn(const QString &appFolder);
    // A full retrieval of customers and of the invoices of the period into a second
    // application folder, and its tables.
    Tables fullRetrievalElsewhere(const QString &from, const QString &to);
    // The requests answered since `first` (an index into the stand-in's log), joined.
    QByteArray requestsSince(qsizetype first) const;

    TestCompany company;
    QString companyPath;
    TempAppFolder referenceFolder;
    ScriptedScreen referenceScreen;
    ProgramState reference{referenceFolder.path(), referenceScreen};
};

} // namespace corvina::test
