#include "localdb/Error.h"
#include "localdb/LocalDb.h"
#include "quickbooks/Records.h"
#include "quickbooks/RetrievalSupport.h"
#include "quickbooks/Retrievals.h"
#include "quickbooks/Session.h"
#include "shell/ProgramState.h"
#include "shell/RetrievalDates.h"
#include "shell/Screen.h"

namespace corvina {

namespace {

// The columns in the order they are set.
enum CustomerColumn {
    ListID, AccountNo, AltContact, AltPhone, OpenBalance, BillAddr1, BillAddr2, BillAddr3,
    BillAddr4, BillCity, BillState, BillZip, CompanyName, Contact, CreditLimit, CustType,
    DeliveryMethod, Email, Fax, FirstName, FullName, IsActive, ItemSalesTaxRef, LastName,
    MiddleName, Mobile, Name, Pager, Phone, ResaleNo, SalesRep, SalesTaxCodeRef, Salutation,
    ShipAddr1, ShipAddr2, ShipAddr3, ShipAddr4, ShipCity, ShipState, ShipZip, Terms,
};

const QStringList kColumns = {
    u"ListID"_qs, u"AccountNo"_qs, u"AltContact"_qs, u"AltPhone"_qs, u"OpenBalance"_qs,
    u"BillAddr1"_qs, u"BillAddr2"_qs, u"BillAddr3"_qs, u"BillAddr4"_qs, u"BillCity"_qs,
    u"BillState"_qs, u"BillZip"_qs, u"CompanyName"_qs, u"Contact"_qs, u"CreditLimit"_qs,
    u"CustType"_qs, u"DeliveryMethod"_qs, u"Email"_qs, u"Fax"_qs, u"FirstName"_qs,
    u"FullName"_qs, u"IsActive"_qs, u"ItemSalesTaxRef"_qs, u"LastName"_qs, u"MiddleName"_qs,
    u"Mobile"_qs, u"Name"_qs, u"Pager"_qs, u"Phone"_qs, u"ResaleNo"_qs, u"SalesRep"_qs,
    u"SalesTaxCodeRef"_qs, u"Salutation"_qs, u"ShipAddr1"_qs, u"ShipAddr2"_qs, u"ShipAddr3"_qs,
    u"ShipAddr4"_qs, u"ShipCity"_qs, u"ShipState"_qs, u"ShipZip"_qs, u"Terms"_qs,
};

using qb::Tag;

// Columns copied from a text field of the record, and from a reference's full name.
const std::pair<int, Tag> kTextFields[] = {
    {AccountNo, Tag::AccountNumber}, {AltContact, Tag::AltContact}, {AltPhone, Tag::AltPhone},
    {CompanyName, Tag::CompanyName}, {Contact, Tag::Contact},       {Email, Tag::Email},
    {Fax, Tag::Fax},                 {FirstName, Tag::FirstName},   {FullName, Tag::FullName},
    {LastName, Tag::LastName},       {MiddleName, Tag::MiddleName}, {Mobile, Tag::Mobile},
    {Name, Tag::Name},               {Pager, Tag::Pager},           {Phone, Tag::Phone},
    {ResaleNo, Tag::ResaleNumber},   {Salutation, Tag::Salutation},
};
const std::pair<int, Tag> kRefFields[] = {
    {CustType, Tag::CustomerTypeRef},    {ItemSalesTaxRef, Tag::ItemSalesTaxRef}, {SalesRep, Tag::SalesRepRef},
    {SalesTaxCodeRef, Tag::SalesTaxCodeRef}, {Terms, Tag::TermsRef},
};
// An address's parts in the order of the seven Bill… and Ship… columns.
const Tag kAddressParts[] = {Tag::Addr1, Tag::Addr2, Tag::Addr3, Tag::Addr4, Tag::City, Tag::State, Tag::PostalCode};

void setAddress(RowInserter &row, int first, const qb::Element &address)
{
    if (address.isNull())
        return;
    for (int k = 0; k < 7; ++k)
        row.setIf(first + k, address.utf8Of(kAddressParts[k]));
}

void fillRow(RowInserter &row, const qb::CustomerRet &c)
{
    row.set(ListID, c.utf8Of(Tag::ListID).value_or(QByteArray("")));
    for (const auto &[column, tag] : kTextFields)
        row.setIf(column, c.utf8Of(tag));
    for (const auto &[column, tag] : kRefFields)
        row.setIf(column, c.refFullNameUtf8(tag));
    row.setIf(OpenBalance, c.balance());
    row.setIf(CreditLimit, c.creditLimit());
    row.setIf(DeliveryMethod, c.preferredDeliveryMethod());
    row.setIf(IsActive, c.isActive());
    setAddress(row, BillAddr1, c.child(Tag::BillAddress));
    setAddress(row, ShipAddr1, c.child(Tag::ShipAddress));
}

enum class Outcome { Done, Stopped };

// Steps 2 to 13; `line` follows the step being run.
Outcome retrieve(ProgramState &state, int &line)
{
    QuickBooksLink &qb = state.quickBooks();
    StatusDisplay &status = state.status();

    line = 20;
    if (!qb.sessionOpen) {
        status.step(QStringLiteral("Opening and logging into Quickbooks..."));
        if (!OpenQB(state))
            return Outcome::Stopped;
    }
    line = 30;
    status.step(QStringLiteral("Retrieving customers from Quickbooks..."));
    line = 40;
    qb.requests->clear();
    qb.requests->setOnError(qb::OnError::Continue);
    qb.requests->appendCustomerQuery();
    line = 50;
    const qb::ResponseSet answer = qb.sessionManager->doRequests(*qb.requests);
    const qb::Response &response = firstResponse(answer);
    line = 60;
    if (reportStatus(state, response))
        return Outcome::Stopped;

    line = 70;
    Database db = openLocalDb(state.appFolder());
    Transaction rewrite(db);
    line = 80;
    db.deleteAll(QStringLiteral("Customers"));
    line = 90;
    const int count = response.count();
    status.startRecords(count, QStringLiteral("Updating the Customers table in the QBData database..."));
    line = 100;
    RowInserter row(db, QStringLiteral("Customers"), kColumns);
    for (int i = 0; i < count; ++i) {
        const qb::CustomerRet customer(response.record(i));
        if (!customer.parentRef()) { // jobs and sub-customers are not copied
            fillRow(row, customer);
            row.insert();
        }
        status.progress(i + 1);
    }
    line = 110;
    rewrite.commit();

    line = 120;
    const QDateTime now = state.screen().now();
    stampRetrievalDate(state, QStringLiteral("Cust"), now);
    line = 130;
    state.screen().setBoxText(RetrievalBox::Cust, generalDateText(now));
    state.screen().enableEntry(MenuEntry::DispCust);
    state.screen().enableEntry(MenuEntry::LettersAndLabels);
    return Outcome::Done;
}

} // namespace

void GetCustomers(ProgramState &state)
{
    StatusDisplay &status = state.status();
    int line = 10;
    try {
        status.open();
        status.busyPointer();
        retryWhileLocked(state, QStringLiteral("Customers"), [&] { retrieve(state, line); });
    } catch (...) {
        reportUnexpected(state, QStringLiteral("GetCustomers"), line);
    }
    // Exit steps: default pointer, status window unloaded; the session stays open.
    status.close();
}

} // namespace corvina
