#pragma once

// The company generator's data: the records it makes, the randomness and the value formats they
// are made with. Private to the generator (Generator*.cpp); the public entry is Generator.h.

#include "qbsim/Generator.h"

#include <QDate>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace corvina::qbsim::gen {

// splitmix64: the same sequence for a seed with every compiler and standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); n > 0. The modulo bias is far below anything the data shows.
    qint64 below(qint64 n) { return static_cast<qint64>(next() % static_cast<std::uint64_t>(n)); }
    // Uniform in [low, high].
    qint64 between(qint64 low, qint64 high) { return low + below(high - low + 1); }
    int betweenInt(int low, int high) { return static_cast<int>(between(low, high)); }
    bool chance(int percent) { return below(100) < percent; }
    QString letter() { return QChar(static_cast<char16_t>(u'A' + below(26))); }

    template <typename T, std::size_t N> const T &pick(const T (&table)[N])
    {
        return table[below(static_cast<qint64>(N))];
    }
    template <typename T> const T &pick(const QList<T> &list) { return list[below(list.size())]; }

private:
    std::uint64_t m_state;
};

// ---------------------------------------------------------------------------------------------
// Value formats

// Rounds a / b to the nearest integer, halves away from zero; b > 0.
inline qint64 roundedDiv(qint64 a, qint64 b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

// 0-99 with two digits: "07".
QString twoDigits(qint64 value);
// A value in hundredths with exactly two decimals: amounts in cents, percentages in 1/100 %.
QString hundredths(qint64 value);
// A quantity in hundredths, written as QuickBooks does: "3", "1.5", "0.25".
QString quantityText(qint64 value);
// DATETYPE: 2024-03-05.
QString dateText(QDate date);
// QuickBooks' identifiers: a hexadecimal sequence number, a dash and the creation time.
QString sequenceId(std::uint64_t sequence, qint64 epoch);
// The key QuickBooks lists names in: case-insensitive, sub-records right after their parent.
QString sortKey(const QString &fullName);

// A wall-clock moment at the company's office, which keeps US Eastern time.
struct Moment {
    QDate date;
    int seconds = 0; // since local midnight

    int utcOffsetHours() const;
    qint64 epoch() const;
    // DATETIMETYPE, e.g. 2024-03-05T10:21:07-05:00.
    QString text() const;
    bool operator<(const Moment &other) const
    {
        return date != other.date ? date < other.date : seconds < other.seconds;
    }
};

// A moment during office hours of `date`.
Moment officeMoment(Random &random, QDate date);
// A moment on a later day no later than `last` (or `from` itself when no day is left).
Moment laterMoment(Random &random, const Moment &from, QDate last);

// ---------------------------------------------------------------------------------------------
// The company's small lists, referenced by ListID and FullName

struct Ref {
    QString listId;
    QString fullName; // left out when empty
};

struct Terms {
    Ref ref;
    int dueDays;
    int discountDays; // 0: no early-payment discount
    int discountPercent;
};

enum Account {
    LaborIncome,
    MerchandiseSales,
    ConsultingIncome,
    FreightIncome,
    FeeIncome,
    CostOfGoodsSold,
    Subcontractors,
    InventoryAsset,
    DiscountsGiven,
    UndepositedFunds,
    AccountsReceivable,
};

enum TaxCode { Taxable, NonTaxable };

enum Vendor {
    CascadeSupply,
    NorthwestLumber,
    PacificPaint,
    StateRevenue,
    CountyTreasurer,
    NorthwestReps,
};

struct Lists {
    QList<Terms> terms;
    QList<Ref> customerTypes, jobTypes, classes, shipMethods, messages, taxCodes, paymentMethods,
        accounts, vendors; // accounts by Account, vendors by Vendor, taxCodes by TaxCode
};

// ---------------------------------------------------------------------------------------------
// Records. Indices name records in the Company's lists; -1 means none.

struct Address {
    std::array<QString, 4> lines;
    QString city, state, postalCode, country;
};

struct SalesRep {
    QString listId;
    Moment created, modified;
    QString initial;
    bool active = true;
    Ref entity;
};

// In the order of the ItemQueryRs choice.
enum class ItemKind {
    Service,
    NonInventory,
    OtherCharge,
    Inventory,
    Assembly,
    Subtotal,
    Discount,
    Payment,
    SalesTax,
    SalesTaxGroup,
    Group,
};

// Kinds that carry FullName, ParentRef and Sublevel in qbXML 2.1.
inline bool isHierarchical(ItemKind kind)
{
    return kind <= ItemKind::Assembly || kind == ItemKind::Discount;
}

struct ItemLine {
    qsizetype item;
    qint64 quantity; // hundredths
};

struct Item {
    ItemKind kind = ItemKind::Service;
    QString listId;
    Moment created, modified;
    QString name, fullName; // fullName is the name for kinds without FullName
    bool active = true;
    qsizetype parent = -1;
    bool hasChildren = false;
    qsizetype taxCode = -1;
    bool salesAndPurchase = false;
    QString desc;        // Desc, SalesDesc or ItemDesc
    qint64 price = -1;   // cents: Price, SalesPrice, DiscountRate; -1 when absent
    qint64 percent = -1; // 1/100 %: PricePercent, DiscountRatePercent, TaxRate
    int account = -1;    // AccountRef, IncomeAccountRef or DepositToAccountRef
    QString purchaseDesc;
    qint64 purchaseCost = -1; // cents
    int expenseAccount = -1;  // ExpenseAccountRef or COGSAccountRef
    int vendor = -1;          // PrefVendorRef or TaxVendorRef
    qint64 reorderPoint = -1; // whole units: ReorderPoint or BuildPoint
    qint64 onHand = 0, onOrder = 0, onSalesOrder = 0;
    qint64 averageCost = -1; // cents
    qsizetype paymentMethod = -1;
    bool printItemsInGroup = false;
    QList<ItemLine> lines; // assembly parts, group members or the taxes of a tax group
};

struct Customer {
    QString listId;
    Moment created, modified;
    QString name, fullName;
    bool active = true;
    qsizetype parent = -1;
    QString companyName, salutation, firstName, middleName, lastName;
    std::optional<Address> billAddress, shipAddress;
    QString phone, altPhone, fax, email, contact, altContact;
    qsizetype customerType = -1, terms = -1, rep = -1, taxCode = -1, taxItem = -1;
    QString resaleNumber, accountNumber;
    qint64 creditLimit = -1; // cents
    QString jobStatus;
    QDate jobStart, jobProjectedEnd, jobEnd;
    QString jobDesc;
    qsizetype jobType = -1;
    QString notes;
    qint64 balance = 0, totalBalance = 0; // cents, from the invoices
};

struct InvoiceLine {
    QString txnLineId;
    qsizetype item = -1; // -1: a description-only line
    QString desc;
    qint64 quantity = -1;   // hundredths; -1 when absent
    qint64 rate = -1;       // cents; -1 when absent
    qint64 ratePercent = 0; // 1/100 %, used when hasRatePercent
    bool hasRatePercent = false;
    qsizetype classRef = -1;
    bool hasAmount = false;
    qint64 amount = 0; // cents
    QDate serviceDate;
    qsizetype taxCode = -1;
};

struct InvoiceLineGroup {
    QString txnLineId;
    qsizetype item = -1;
    QString desc;
    qint64 quantity = 0; // hundredths
    bool printItems = false;
    qint64 total = 0; // cents
    QList<InvoiceLine> members;
};

struct Payment {
    QString txnId;
    QDate date;
    QString refNumber;
    qint64 amount = 0; // cents, positive
};

struct Invoice {
    QString txnId;
    Moment created, modified;
    qint64 txnNumber = 0;
    qsizetype customer = -1;
    qsizetype classRef = -1;
    QDate txnDate;
    QString refNumber;
    QString poNumber;
    qsizetype terms = -1;
    QDate dueDate;
    qsizetype rep = -1;
    QString fob;
    QDate shipDate;
    qsizetype shipMethod = -1;
    qint64 subtotal = 0;
    qsizetype taxItem = -1;
    qint64 taxPercent = 0; // 1/100 %
    qint64 taxTotal = 0;
    qint64 applied = 0; // cents, zero or negative
    qint64 balance = 0;
    QString memo;
    qsizetype message = -1;
    bool toBePrinted = false;
    qint64 suggestedDiscount = -1;
    QDate suggestedDiscountDate;
    std::optional<Payment> payment;
    QList<std::variant<InvoiceLine, InvoiceLineGroup>> lines;
};

// Everything but the invoices, which are made while writing.
struct Company {
    QDate firstInvoiceDate, lastInvoiceDate;
    Lists lists;
    QList<SalesRep> reps;
    QList<Item> items;         // in ListID order
    QList<Customer> customers; // in ListID order, each job after its customer
    QList<qsizetype> sellable; // items an ordinary invoice line may name
    QList<qsizetype> groups, discounts, surcharges;
    qsizetype subtotalItem = -1, defaultTaxItem = -1;
};

// The 80000001-style list IDs that customers and items share.
class EntityIds {
public:
    QString next(const Moment &created) { return sequenceId(m_sequence++, created.epoch()); }

private:
    std::uint64_t m_sequence = 0x80000001;
};

// ---------------------------------------------------------------------------------------------
// Making the company

Lists makeLists(Random &random, Moment setup);
// The item catalog: a fixed core with every kind, plus `extraItems` more sellable ones.
QList<Item> makeItems(Random &random, EntityIds &ids, Moment setup, QDate last, int extraItems);
// The lists an invoice draws its items from: sellable items, groups, discounts...
void indexItems(Company &company);
// Fills everything but the customers' balances, which planInvoices adds.
void buildCompany(Company &company, const GeneratorOptions &options, Random &random);

// Where the invoice sequence stands. A copy taken at any point makes the same invoices from
// there on, which lets blocks of invoices be made independently of each other.
struct InvoiceCursor {
    Random random;
    Random jitter;
    qint64 count = 0; // invoices in the company
    qint64 index = 0; // the next invoice's position
    std::uint64_t txnSequence = 0;
    qint64 refNumber = 0;
    qint64 txnNumber = 0;
};

InvoiceCursor firstInvoice(std::uint64_t seed, qint64 count);
// The invoice at the cursor, in date order; advances the cursor.
Invoice nextInvoice(const Company &company, InvoiceCursor &cursor);

// Cursors at the start of each block of invoices: [0] at the first invoice, [k] at invoice
// 1 + (k - 1) * kBlockSize.
struct InvoicePlan {
    static constexpr qint64 kBlockSize = 500;
    qint64 count = 0;
    std::vector<InvoiceCursor> starts;
};

// Makes the invoices once without writing them: sums each customer's open invoices into
// Balance, a customer's and its jobs' into TotalBalance, and notes where blocks start.
InvoicePlan planInvoices(Company &company, std::uint64_t seed, qint64 count);

} // namespace corvina::qbsim::gen
