#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace corvina {

class Database;
class Recordset;

// One addressee of a mailing: the name printed first and the address block as stored.
// Customers' bill addresses follow QuickBooks' habit of holding the addressee in Addr1; the
// name is printed above the block only when Addr1 does not already say it.
struct MailingAddress {
    QString name;
    // Addr1..Addr4 as stored, empty ones included or not.
    QStringList street;
    QString city;
    QString state;
    QString zip;
};

// What the labels are printed from: a title (the preview's caption) and the addressees in
// the order of the list they come from.
struct MailingList {
    QString title;
    std::vector<MailingAddress> entries;
    // Off for lists without postal addresses (sales reps): every label carries the name
    // only, labels follow the names and only an entry without a name is unusable.
    bool needsAddress = true;
};

// One label: its lines from top to bottom (name, street lines, "City, ST Zip").
struct LabelRow {
    QStringList lines;
    QString zip;
};

// The labels of a list: one per distinct mailing address (compared without case,
// punctuation or spacing; the first entry of a kind names it), sorted by zip (then city,
// then name); entries without a usable address are left out and counted.
struct LabelRows {
    std::vector<LabelRow> labels;
    int unusable = 0;
    int duplicates = 0;
};

LabelRows labelRows(const MailingList &list);

// The list from rows with the columns of Customers (or NoBuyCustomers): Name, CompanyName,
// FirstName, LastName, BillAddr1..4, BillCity, BillState, BillZip; missing columns read as
// empty. Every stored row, in the recordset's order (a filter is not applied).
MailingList mailingListFromCustomers(const Recordset &customers, const QString &title);

// The customers of these ListIDs, in the order given, read from Customers; ListIDs of jobs
// (CustomerJobs) stand for their top-level customer. Unknown ListIDs are skipped. Throws
// Error when the database cannot be read.
MailingList mailingListForCustomerIds(Database &db, const QStringList &listIds,
                                      const QString &title);

// Sales reps from rows with the columns of Reps (Rep, Name): the Reps table holds no postal
// address, so each label carries the rep's name and short name, for internal mail.
MailingList mailingListFromReps(const Recordset &reps, const QString &title);

} // namespace corvina
