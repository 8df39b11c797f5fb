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

void setAddress(RowInserter &row, int first, const std::optional<qb::Address> &address)
{
    if (!address)
        return;
    row.setIf(first, address->addr1);
    row.setIf(first + 1, address->addr2);
    row.setIf(first + 2, address->addr3);
    row.setIf(first + 3, address->addr4);
    row.setIf(first + 4, address->city);
    row.setIf(first + 5, address->state);
    row.setIf(first + 6, address->postalCode);
}

void fillRow(RowInserter &row, const qb::CustomerRet &c)
{
    row.set(ListID, c.listId());
    row.setIf(AccountNo, c.accountNumber());
    row.setIf(AltContact, c.altContact());
    row.setIf(AltPhone, c.altPhone());
    row.setIf(OpenBalance, c.balance());
    setAddress(row, BillAddr1, c.billAddress());
    row.setIf(CompanyName, c.companyName());
    row.setIf(Contact, c.contact());
    row.setIf(CreditLimit, c.creditLimit());
    row.setIf(CustType, fullNameOf(c.customerTypeRef()));
    row.setIf(DeliveryMethod, c.preferredDeliveryMethod());
    row.setIf(Email, c.email());
    row.setIf(Fax, c.fax());
    row.setIf(FirstName, c.firstName());
    row.setIf(FullName, c.fullName());
    row.setIf(IsActive, c.isActive());
    row.setIf(ItemSalesTaxRef, fullNameOf(c.itemSalesTaxRef()));
    row.setIf(LastName, c.lastName());
    row.setIf(MiddleName, c.middleName());
    row.setIf(Mobile, c.mobile());
    row.setIf(Name, c.name());
    row.setIf(Pager, c.pager());
    row.setIf(Phone, c.phone());
    row.setIf(ResaleNo, c.resaleNumber());
    row.setIf(SalesRep, fullNameOf(c.salesRepRef()));
    row.setIf(SalesTaxCodeRef, fullNameOf(c.salesTaxCodeRef()));
    row.setIf(Salutation, c.salutation());
    setAddress(row, ShipAddr1, c.shipAddress());
    row.setIf(Terms, fullNameOf(c.termsRef()));
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
        for (;;) {
            try {
                retrieve(state, line);
                break;
            } catch (const Error &e) {
                if (e.number() != errc::kTableLocked)
                    throw;
                if (!askRetryLockedTable(state, QStringLiteral("Customers")))
                    break;
            }
        }
    } catch (const Error &e) {
        state.showError(QStringLiteral("GetCustomers"), e.description(), e.number(), line);
    } catch (const std::exception &e) {
        state.showError(QStringLiteral("GetCustomers"), QString::fromLocal8Bit(e.what()), errc::kDatabaseFailure, line);
    }
    // Exit steps: default pointer, status window unloaded; the session stays open.
    status.close();
}

} // namespace corvina
