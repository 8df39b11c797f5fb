// The company generator's catalog: the company's small lists (terms, accounts, tax codes...)
// and the item catalog with every qbXML 2.1 item kind.

#include "qbsim/GeneratorModel.h"

#include <QSet>

#include <algorithm>

namespace corvina::qbsim::gen {

using namespace Qt::StringLiterals;

// ---------------------------------------------------------------------------------------------
// Small lists

namespace {

const QString kAccountNames[] = {
    u"Labor Income"_s,    u"Merchandise Sales"_s,  u"Consulting Income"_s,  u"Freight Income"_s,
    u"Fee Income"_s,      u"Cost of Goods Sold"_s, u"Subcontractors"_s,     u"Inventory Asset"_s,
    u"Discounts Given"_s, u"Undeposited Funds"_s,  u"Accounts Receivable"_s};

const QString kVendorNames[] = {
    u"Cascade Supply"_s,     u"Northwest Lumber Co."_s, u"Pacific Paint Distributors"_s,
    u"State Revenue Dept"_s, u"County Treasurer"_s,     u"Northwest Reps LLC"_s};

// Small lists number their records 10000, 20000, ... as QuickBooks does.
class SmallListMaker {
public:
    SmallListMaker(Random &random, Moment setup) : m_random(random), m_moment(setup) {}

    template <std::size_t N> QList<Ref> make(const QString (&names)[N])
    {
        QList<Ref> refs;
        std::uint64_t sequence = 0;
        for (const QString &name : names) {
            m_moment.seconds += m_random.betweenInt(5, 90);
            refs.append({sequenceId(++sequence << 16, m_moment.epoch()), name});
        }
        return refs;
    }

private:
    Random &m_random;
    Moment m_moment;
};

} // namespace

Lists makeLists(Random &random, Moment setup)
{
    static const QString termNames[] = {u"Net 30"_s, u"2% 10 Net 30"_s, u"Due on receipt"_s,
                                        u"Net 15"_s};
    static constexpr int dueDays[] = {30, 30, 0, 15};
    static const QString customerTypes[] = {u"Retail"_s,      u"Wholesale"_s,  u"Commercial"_s,
                                            u"Residential"_s, u"Government"_s, u"Nonprofit"_s};
    static const QString jobTypes[] = {u"Remodel"_s, u"New Construction"_s, u"Repair"_s,
                                       u"Maintenance"_s};
    static const QString classes[] = {u"Retail Store"_s, u"Contracting"_s, u"Online"_s,
                                      u"Wholesale"_s};
    static const QString shipMethods[] = {u"UPS"_s, u"FedEx"_s, u"USPS"_s, u"Our Truck"_s,
                                          u"Customer Pickup"_s};
    static const QString messages[] = {
        u"Thank you for your business."_s, u"Please remit to above address."_s,
        u"All work is complete!"_s, u"We appreciate your prompt payment."_s};
    static const QString taxCodes[] = {u"Tax"_s, u"Non"_s};
    static const QString paymentMethods[] = {u"Check"_s, u"Cash"_s, u"Visa"_s, u"MasterCard"_s,
                                             u"E-Check"_s};
    SmallListMaker maker(random, setup);
    Lists lists;
    const QList<Ref> terms = maker.make(termNames);
    for (qsizetype i = 0; i < terms.size(); ++i)
        lists.terms.append({terms[i], dueDays[i], i == 1 ? 10 : 0, i == 1 ? 2 : 0});
    lists.customerTypes = maker.make(customerTypes);
    lists.jobTypes = maker.make(jobTypes);
    lists.classes = maker.make(classes);
    lists.shipMethods = maker.make(shipMethods);
    lists.messages = maker.make(messages);
    lists.taxCodes = maker.make(taxCodes);
    lists.paymentMethods = maker.make(paymentMethods);
    lists.accounts = maker.make(kAccountNames);
    lists.vendors = maker.make(kVendorNames);
    return lists;
}

// ---------------------------------------------------------------------------------------------
// Items

namespace {

class ItemMaker {
public:
    ItemMaker(Random &random, EntityIds &ids, Moment setup, QDate last)
        : m_random(random), m_ids(ids), m_clock(setup), m_last(last)
    {
    }

    QList<Item> make(int extraItems)
    {
        addServices();
        addNonInventory();
        addOtherCharges();
        addInventory();
        addAssemblies();
        addOtherKinds();
        addSalesTaxes();
        addGroups();
        for (int i = 0; i < extraItems; ++i)
            addExtraItem();
        return m_items;
    }

private:
    qsizetype add(ItemKind kind, const QString &name, qsizetype parent = -1)
    {
        Item item;
        item.kind = kind;
        item.name = name;
        item.parent = parent;
        item.fullName = parent < 0 ? name : m_items[parent].fullName + u':' + name;
        m_clock.seconds = std::min(m_clock.seconds + m_random.betweenInt(10, 70), 86399);
        item.created = m_clock;
        item.modified = m_random.chance(25) ? laterMoment(m_random, m_clock, m_last) : m_clock;
        item.listId = m_ids.next(item.created);
        if (parent >= 0)
            m_items[parent].hasChildren = true;
        m_names.insert(item.fullName.toCaseFolded());
        m_items.append(item);
        return m_items.size() - 1;
    }

    // Service, non-inventory and other-charge items that are only sold.
    qsizetype sold(ItemKind kind, const QString &name, const QString &desc, qint64 price,
                   Account account, qsizetype taxCode, qsizetype parent = -1)
    {
        const qsizetype index = add(kind, name, parent);
        Item &item = m_items[index];
        item.desc = desc;
        item.price = price;
        item.account = account;
        item.taxCode = taxCode;
        return index;
    }

    // Items also bought: the SalesAndPurchase form.
    qsizetype resold(ItemKind kind, const QString &name, const QString &salesDesc, qint64 price,
                     const QString &purchaseDesc, qint64 cost, Account expense, int vendor)
    {
        const qsizetype index = sold(kind, name, salesDesc, price,
                                     kind == ItemKind::Service ? LaborIncome : MerchandiseSales,
                                     kind == ItemKind::Service ? NonTaxable : Taxable);
        Item &item = m_items[index];
        item.salesAndPurchase = true;
        item.purchaseDesc = purchaseDesc;
        item.purchaseCost = cost;
        item.expenseAccount = expense;
        item.vendor = vendor;
        return index;
    }

    qsizetype stocked(ItemKind kind, const QString &name, qsizetype parent, const QString &desc,
                      qint64 price, qint64 cost, int vendor)
    {
        const qsizetype index = add(kind, name, parent);
        Item &item = m_items[index];
        item.taxCode = price >= 0 ? Taxable : -1;
        item.desc = desc;
        item.price = price;
        item.account = MerchandiseSales;
        item.purchaseDesc = cost > 0 && m_random.chance(50) ? desc + u", case lot"_s : QString();
        item.purchaseCost = cost;
        item.expenseAccount = CostOfGoodsSold;
        item.vendor = vendor;
        if (price >= 0) {
            item.reorderPoint = m_random.chance(70) ? m_random.between(1, 40) * 5 : -1;
            item.onHand = m_random.between(-5, 900);
            item.onOrder = m_random.chance(30) ? m_random.between(1, 50) * 10 : 0;
            item.onSalesOrder = m_random.chance(20) ? m_random.between(1, 20) : 0;
        }
        item.averageCost = cost >= 0 ? cost : 0;
        return index;
    }

    void addServices()
    {
        using K = ItemKind;
        sold(K::Service, u"Installation"_s, u"Installation labor"_s, 6500, LaborIncome, NonTaxable);
        sold(K::Service, u"Consulting"_s, u"Consulting, per hour"_s, 9500, ConsultingIncome,
             NonTaxable);
        sold(K::Service, u"Site Visit"_s, QString(), 4500, LaborIncome, NonTaxable);
        const qsizetype design =
            resold(K::Service, u"Design Consult"_s, u"Design consultation (subcontracted)"_s, 9500,
                   u"Subcontracted design hours"_s, 6000, Subcontractors, CascadeSupply);
        m_items[design].active = false;
        const qsizetype labor = sold(K::Service, u"Labor"_s, QString(), -1, LaborIncome, -1);
        sold(K::Service, u"Carpentry"_s, u"Finish carpentry, per hour"_s, 5500, LaborIncome,
             NonTaxable, labor);
        sold(K::Service, u"Plumbing"_s, u"Plumbing labor, per hour"_s, 7800, LaborIncome,
             NonTaxable, labor);
        const qsizetype electrical = add(K::Service, u"Electrical"_s, labor);
        m_items[electrical].salesAndPurchase = true;
        m_items[electrical].desc = u"Licensed electrician, per hour"_s;
        m_items[electrical].price = 8500;
        m_items[electrical].account = LaborIncome;
        m_items[electrical].purchaseCost = 5200;
        m_items[electrical].expenseAccount = Subcontractors;
        m_items[electrical].taxCode = NonTaxable;
    }

    void addNonInventory()
    {
        using K = ItemKind;
        resold(K::NonInventory, u"Custom Order"_s, u"Custom order merchandise"_s, 0,
               u"Custom order from vendor"_s, 0, CostOfGoodsSold, CascadeSupply);
        sold(K::NonInventory, u"Permit Fee"_s, u"Building permit (pass-through)"_s, 15000,
             FeeIncome, NonTaxable);
        sold(K::NonInventory, u"Materials"_s, QString(), -1, MerchandiseSales, Taxable);
    }

    void addOtherCharges()
    {
        using K = ItemKind;
        const qsizetype fuel = sold(K::OtherCharge, u"Fuel Surcharge"_s, u"Fuel surcharge 5%"_s, -1,
                                    FreightIncome, -1);
        m_items[fuel].percent = 500;
        sold(K::OtherCharge, u"Shipping"_s, QString(), 0, FreightIncome, -1);
        sold(K::OtherCharge, u"Rush Fee"_s, u"Rush order handling"_s, 5000, FeeIncome, Taxable);
        const qsizetype restock = sold(K::OtherCharge, u"Restocking Fee"_s, u"Restocking fee 15%"_s,
                                       -1, FeeIncome, Taxable);
        m_items[restock].percent = 1500;
        m_items[restock].active = false;
    }

    void addInventory()
    {
        using K = ItemKind;
        const qsizetype hardware = stocked(K::Inventory, u"Hardware"_s, -1, QString(), -1, -1, -1);
        stocked(K::Inventory, u"Hinge 3in"_s, hardware, u"3 inch brass hinge"_s, 225, 110,
                CascadeSupply);
        stocked(K::Inventory, u"Lever Set"_s, hardware, u"Passage lever set, satin nickel"_s, 8000,
                4100, CascadeSupply);
        stocked(K::Inventory, u"Deadbolt"_s, hardware, u"Keyed deadbolt, single cylinder"_s, 3450,
                1900, CascadeSupply);
        stocked(K::Inventory, u"Cabinet Pull"_s, hardware, QString(), 395, 160, -1);
        const qsizetype hinge2 = stocked(K::Inventory, u"Hinge 2in"_s, hardware,
                                         u"2 inch steel hinge"_s, 145, 60, CascadeSupply);
        m_items[hinge2].active = false;
        const qsizetype lumber = stocked(K::Inventory, u"Lumber"_s, -1, QString(), -1, -1, -1);
        stocked(K::Inventory, u"2x4 Stud 8ft"_s, lumber, u"2x4 stud, 8 ft, kiln dried"_s, 489, 310,
                NorthwestLumber);
        stocked(K::Inventory, u"Plywood 3/4in"_s, lumber, u"Plywood sheet 4x8, 3/4 inch"_s, 5895,
                3900, NorthwestLumber);
        const qsizetype paint = stocked(K::Inventory, u"Paint"_s, -1, QString(), -1, -1, -1);
        stocked(K::Inventory, u"Primer Gal"_s, paint, u"Interior primer, 1 gallon"_s, 2499, 1350,
                PacificPaint);
        stocked(K::Inventory, u"Eggshell Gal"_s, paint, u"Interior eggshell, 1 gallon"_s, 3899,
                2100, PacificPaint);
        stocked(K::Inventory, u"Crème Brûlée Qt"_s, paint, u"Sample quart, Crème Brûlée"_s, 1299,
                600, PacificPaint);
        stocked(K::Inventory, u"Caulk Tube"_s, -1, u"Silicone caulk, clear"_s, 799, 350, -1);
    }

    qsizetype find(const QString &fullName) const
    {
        for (qsizetype i = 0; i < m_items.size(); ++i) {
            if (m_items[i].fullName == fullName)
                return i;
        }
        Q_ASSERT(false);
        return -1;
    }

    void addAssemblies()
    {
        using K = ItemKind;
        const qsizetype pulls = stocked(K::Assembly, u"Cabinet Pull Set"_s, -1,
                                        u"Set of 10 cabinet pulls with screws"_s, 3900, 1750, -1);
        m_items[pulls].lines = {{find(u"Hardware:Cabinet Pull"_s), 1000}};
        const qsizetype door = stocked(K::Assembly, u"Door Hardware Set"_s, -1,
                                       u"Lever set with three hinges"_s, 9900, 4430, -1);
        m_items[door].lines = {{find(u"Hardware:Lever Set"_s), 100},
                               {find(u"Hardware:Hinge 3in"_s), 300}};
    }

    void addOtherKinds()
    {
        using K = ItemKind;
        const qsizetype subtotal = add(K::Subtotal, u"Subtotal"_s);
        m_items[subtotal].desc = u"Subtotal"_s;

        const qsizetype volume = sold(K::Discount, u"Volume Discount"_s, u"10% volume discount"_s,
                                      -1, DiscountsGiven, Taxable);
        m_items[volume].percent = 1000;
        const qsizetype loyalty = sold(K::Discount, u"Loyalty Discount"_s, u"Loyalty discount 5%"_s,
                                       -1, DiscountsGiven, Taxable);
        m_items[loyalty].percent = 500;
        sold(K::Discount, u"Promo Coupon"_s, QString(), 2500, DiscountsGiven, -1);

        const qsizetype deposit = add(K::Payment, u"Deposit"_s);
        m_items[deposit].desc = u"Deposit received"_s;
        m_items[deposit].account = UndepositedFunds;
        m_items[deposit].paymentMethod = 0;
        const qsizetype card = add(K::Payment, u"Card Payment"_s);
        m_items[card].paymentMethod = 2;
    }

    void addSalesTaxes()
    {
        struct Tax {
            QString name, desc;
            qint64 rate;
            int vendor;
            bool active;
        };
        static const Tax taxes[] = {
            {u"State Sales Tax"_s, u"State sales tax"_s, 600, StateRevenue, true},
            {u"County Tax"_s, u"County sales tax"_s, 150, CountyTreasurer, true},
            {u"City Tax"_s, u"City sales tax"_s, 100, CountyTreasurer, true},
            {u"Out of State"_s, u"Out-of-state sale, no tax"_s, 0, -1, true},
            {u"Old County Rate"_s, u"County rate before the 2024 change"_s, 725, CountyTreasurer,
             false}};
        QList<qsizetype> added;
        for (const Tax &tax : taxes) {
            const qsizetype index = add(ItemKind::SalesTax, tax.name);
            m_items[index].desc = tax.desc;
            m_items[index].percent = tax.rate;
            m_items[index].vendor = tax.vendor;
            m_items[index].active = tax.active;
            added.append(index);
        }
        const qsizetype metro = add(ItemKind::SalesTaxGroup, u"Metro Combined"_s);
        m_items[metro].desc = u"State, county and city combined"_s;
        m_items[metro].lines = {{added[0], 0}, {added[1], 0}, {added[2], 0}};
        const qsizetype county = add(ItemKind::SalesTaxGroup, u"County Combined"_s);
        m_items[county].lines = {{added[0], 0}, {added[1], 0}};
    }

    void addGroups()
    {
        const qsizetype door = add(ItemKind::Group, u"Door Kit"_s);
        m_items[door].desc = u"Interior door hardware kit"_s;
        m_items[door].printItemsInGroup = true;
        m_items[door].lines = {{find(u"Hardware:Lever Set"_s), 100},
                               {find(u"Hardware:Hinge 3in"_s), 300},
                               {find(u"Installation"_s), 50}};
        const qsizetype paint = add(ItemKind::Group, u"Paint Starter Kit"_s);
        m_items[paint].desc = u"Primer and two gallons of eggshell"_s;
        m_items[paint].lines = {{find(u"Paint:Primer Gal"_s), 100},
                                {find(u"Paint:Eggshell Gal"_s), 200}};
        const qsizetype faucet = add(ItemKind::Group, u"Faucet Swap"_s);
        m_items[faucet].desc = u"Faucet replacement, parts & labor"_s;
        m_items[faucet].printItemsInGroup = true;
        m_items[faucet].lines = {{find(u"Labor:Plumbing"_s), 150}, {find(u"Caulk Tube"_s), 100}};
    }

    // A unique name for a new catalog item: `base`, or `base` with a stock number.
    QString uniqueName(const QString &base, qsizetype parent)
    {
        const QString prefix = parent < 0 ? QString() : m_items[parent].fullName + u':';
        QString name = base;
        while (m_names.contains((prefix + name).toCaseFolded()))
            name = base + u" #"_s + QString::number(m_random.between(100, 999));
        return name;
    }

    // More catalog items for larger companies, each sellable.
    void addExtraItem()
    {
        static const QString hardware[] = {u"Door Stop"_s, u"Hasp"_s,          u"Hook"_s,
                                           u"Latch"_s,     u"Shelf Bracket"_s, u"Drawer Slide"_s,
                                           u"Knob"_s,      u"Pull"_s};
        static const QString finishes[] = {u"Brass"_s,  u"Satin Nickel"_s, u"Matte Black"_s,
                                           u"Chrome"_s, u"Bronze"_s,       u"Copper"_s};
        static const QString boards[] = {u"Cedar Board"_s, u"Pine Board"_s, u"Oak Trim"_s,
                                         u"Treated Post"_s, u"MDF Panel"_s};
        static const QString lengths[] = {u"4ft"_s, u"6ft"_s, u"8ft"_s, u"10ft"_s, u"12ft"_s};
        static const QString services[] = {
            u"Drywall Repair"_s,   u"Tile Setting"_s, u"Gutter Cleaning"_s, u"Window Install"_s,
            u"Pressure Washing"_s, u"Snow Removal"_s, u"Fence Repair"_s,    u"Appliance Hookup"_s,
            u"Cabinet Install"_s,  u"Trim Work"_s};
        switch (m_random.below(4)) {
        case 0: {
            const qsizetype parent = find(u"Hardware"_s);
            const QString base = m_random.pick(hardware) + u' ' + m_random.pick(finishes);
            const qint64 price = m_random.between(150, 4500);
            stocked(ItemKind::Inventory, uniqueName(base, parent), parent,
                    m_random.chance(80) ? base : QString(), price, price / 2, CascadeSupply);
            break;
        }
        case 1: {
            const qsizetype parent = find(u"Lumber"_s);
            const QString base = m_random.pick(boards) + u' ' + m_random.pick(lengths);
            const qint64 price = m_random.between(300, 7500);
            stocked(ItemKind::Inventory, uniqueName(base, parent), parent, base, price,
                    price * 3 / 5, NorthwestLumber);
            break;
        }
        case 2: {
            const QString base = m_random.pick(services);
            sold(ItemKind::Service, uniqueName(base, -1), base + u", per hour"_s,
                 m_random.between(8, 24) * 500, LaborIncome, NonTaxable);
            break;
        }
        default: {
            const QString base = u"Allowance "_s + m_random.pick(finishes);
            resold(ItemKind::NonInventory, uniqueName(base, -1), base,
                   m_random.between(10, 90) * 500, QString(), m_random.between(5, 45) * 500,
                   CostOfGoodsSold, CascadeSupply);
            break;
        }
        }
        if (m_random.chance(8))
            m_items.last().active = false;
    }

    Random &m_random;
    EntityIds &m_ids;
    Moment m_clock;
    QDate m_last;
    QList<Item> m_items;
    QSet<QString> m_names;
};

QList<qsizetype> indicesWhere(const QList<Item> &items, const auto &predicate)
{
    QList<qsizetype> result;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (predicate(items[i]))
            result.append(i);
    }
    return result;
}

} // namespace

void indexItems(Company &company)
{
    const QList<Item> &items = company.items;
    company.sellable = indicesWhere(items, [](const Item &item) {
        return !item.hasChildren && item.percent < 0 && (item.kind <= ItemKind::Assembly) &&
               item.price >= 0;
    });
    company.groups = indicesWhere(
        items, [](const Item &item) { return item.kind == ItemKind::Group && item.active; });
    company.discounts = indicesWhere(items, [](const Item &item) {
        return item.kind == ItemKind::Discount && item.active && item.percent > 0;
    });
    company.surcharges = indicesWhere(items, [](const Item &item) {
        return item.kind == ItemKind::OtherCharge && item.active && item.percent > 0;
    });
    company.subtotalItem = indicesWhere(items, [](const Item &item) {
                               return item.kind == ItemKind::Subtotal;
                           }).first();
    company.defaultTaxItem = indicesWhere(items, [](const Item &item) {
                                 return item.kind == ItemKind::SalesTaxGroup;
                             }).first();
}

QList<Item> makeItems(Random &random, EntityIds &ids, Moment setup, QDate last, int extraItems)
{
    return ItemMaker(random, ids, setup, last).make(extraItems);
}

} // namespace corvina::qbsim::gen
