#pragma once

#include "localdb/Database.h"
#include "qbxml/Records.h"
#include "retrieval/RetrievalSupport.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace corvina {

class Database;
class StatusDisplay;

// How the retrievals and the refreshes turn QuickBooks records into rows: one writer per
// table, used by both, so a refreshed row is the row a full retrieval writes.

// A top-level customer's Customers row.
class CustomerRows {
public:
    explicit CustomerRows(Database &db);
    void write(const qb::CustomerRet &customer);

private:
    RowInserter m_row;
};

// A customer record of any kind and status in KnownCustomers.
class KnownCustomerRows {
public:
    explicit KnownCustomerRows(Database &db);
    void write(const qb::CustomerRet &customer);

private:
    RowInserter m_row;
};

// Where each customer record stands in the customer tree, gathered while the records are
// written, so that every job and sub-customer can be tied to its top-level customer once
// the whole list is known (a sub-job may come before its parent).
class CustomerTree {
public:
    // Copies what it keeps: the records' own bytes go with their page.
    void add(const qb::CustomerRet &record);
    // A record as KnownCustomers keeps it; a job has a parent ListID or full name.
    void add(QByteArray listId, QByteArray fullName, QByteArray parentListId,
             QByteArray parentFullName, bool isJob);
    // One CustomerJobs row (job's ListID and full name, top-level customer's ListID) per job
    // whose chain of parents reaches a top-level customer of those added. A job whose parent
    // is not among them (inactive, say) or whose chain runs in a circle belongs to no known
    // customer and gets no row; so does a job or customer without a ListID.
    void writeJobs(Database &db) const;

private:
    static constexpr int kTopLevel = -1;
    static constexpr int kUnknown = -2;

    struct Node {
        QByteArray listId;
        QByteArray fullName;
        QByteArray parentListId;   // as the parent reference names it; may be empty
        QByteArray parentFullName; // used only when the reference has no ListID
        bool isJob = false;
    };

    std::vector<int> parents() const;
    static std::vector<int> topLevelOf(const std::vector<int> &parent);

    std::vector<Node> m_nodes;
};

// The Invoices rows of an invoice: one per item line, its header repeated on each, with the
// invoice's TxnID in the last column.
class InvoiceRows {
public:
    explicit InvoiceRows(Database &db);
    // `done` is shown as progress after each entry of the invoice.
    void write(const qb::InvoiceRet &invoice, StatusDisplay &status, int done);

private:
    RowInserter m_row;
};

// The Items rows of an item entry: one when it is of the six kinds copied, none otherwise.
class ItemRows {
public:
    explicit ItemRows(Database &db);
    void write(const qb::ItemEntry &entry);
    // Whether an entry of this kind gets a row.
    static bool copies(const qb::ItemEntry &entry);

private:
    RowInserter m_row;
};

// The full name of an item record of any kind and status in KnownItems, where a refresh finds
// the name a renamed item had.
class KnownItemRows {
public:
    explicit KnownItemRows(Database &db);
    // Replaces the record's row (a record without ListID is left out).
    void write(const qb::ItemRecord &item);
    void drop(const QString &listId);
    // The full name last written for the item.
    std::optional<QString> fullName(const QString &listId);

private:
    RowInserter m_row;
    Statement m_find, m_drop;
};

} // namespace corvina
