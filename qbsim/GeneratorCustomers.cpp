// The company generator's people: sales reps, customers and their jobs, with the names,
// addresses and contact details of a plausible small-business customer list.

#include "qbsim/GeneratorModel.h"

#include <QSet>

#include <algorithm>

namespace corvina::qbsim::gen {

using namespace Qt::StringLiterals;

namespace {

// The ASCII letters and digits of `text` in lower case, accents dropped: for e-mail addresses.
QString slug(const QString &text)
{
    QString result;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            result += c.toLower();
    }
    return result;
}

const QString kFirstNames[] = {
    u"James"_s,   u"Mary"_s,    u"Robert"_s,  u"Patricia"_s, u"John"_s,    u"Jennifer"_s,
    u"Michael"_s, u"Linda"_s,   u"David"_s,   u"Susan"_s,    u"William"_s, u"Barbara"_s,
    u"Richard"_s, u"Jessica"_s, u"Joseph"_s,  u"Sarah"_s,    u"Thomas"_s,  u"Karen"_s,
    u"Daniel"_s,  u"Nancy"_s,   u"Matthew"_s, u"Lisa"_s,     u"Anthony"_s, u"Betty"_s,
    u"Mark"_s,    u"Sandra"_s,  u"Steven"_s,  u"Ashley"_s,   u"Andrew"_s,  u"Emily"_s,
    u"Paul"_s,    u"Donna"_s,   u"Kevin"_s,   u"Michelle"_s, u"Brian"_s,   u"Carol"_s,
    u"George"_s,  u"Amanda"_s,  u"Timothy"_s, u"Melissa"_s,  u"Dana"_s,    u"Robin"_s,
    u"Jamie"_s,   u"Lou"_s,     u"Zoë"_s,     u"José"_s,     u"Renée"_s,   u"Søren"_s,
    u"Chloé"_s,   u"Björn"_s,   u"André"_s,   u"Inés"_s,     u"Łukasz"_s,  u"Siobhán"_s,
    u"Jürgen"_s,  u"François"_s};

const QString kLastNames[] = {
    u"Smith"_s,    u"Johnson"_s,  u"Williams"_s, u"Brown"_s,      u"Jones"_s,    u"Garcia"_s,
    u"Miller"_s,   u"Davis"_s,    u"Martinez"_s, u"Lopez"_s,      u"Wilson"_s,   u"Anderson"_s,
    u"Taylor"_s,   u"Moore"_s,    u"Jackson"_s,  u"Martin"_s,     u"Lee"_s,      u"Thompson"_s,
    u"White"_s,    u"Harris"_s,   u"Clark"_s,    u"Lewis"_s,      u"Robinson"_s, u"Walker"_s,
    u"Young"_s,    u"Allen"_s,    u"King"_s,     u"Wright"_s,     u"Scott"_s,    u"Torres"_s,
    u"Nguyen"_s,   u"Hill"_s,     u"Green"_s,    u"Adams"_s,      u"Baker"_s,    u"Campbell"_s,
    u"Mitchell"_s, u"Carter"_s,   u"Roberts"_s,  u"Whitfield"_s,  u"Ortega"_s,   u"Tanaka"_s,
    u"Howell"_s,   u"Kowalski"_s, u"Nakamura"_s, u"Okafor"_s,     u"Haddad"_s,   u"Fitzgerald"_s,
    u"O'Brien"_s,  u"O'Connor"_s, u"D'Angelo"_s, u"McAllister"_s, u"Müller"_s,   u"Núñez"_s,
    u"Dvořák"_s,   u"Peña"_s,     u"Åberg"_s,    u"Søndergaard"_s};

const QString kTrades[] = {
    u"Plumbing"_s,   u"Electric"_s,    u"Roofing"_s,  u"Landscaping"_s,   u"Bakery"_s,
    u"Dental"_s,     u"Auto Repair"_s, u"Hardware"_s, u"Construction"_s,  u"Painting"_s,
    u"Flooring"_s,   u"Catering"_s,    u"Florist"_s,  u"Consulting"_s,    u"Design"_s,
    u"Builders"_s,   u"Cabinetry"_s,   u"HVAC"_s,     u"Pest Control"_s,  u"Printing"_s,
    u"Vet Clinic"_s, u"Fitness"_s,     u"Cleaning"_s, u"Marine Supply"_s, u"Coffee Roasters"_s,
    u"Brewing"_s,    u"Books"_s,       u"Bicycles"_s, u"Law Office"_s,    u"Accounting"_s};

const QString kPlaces[] = {
    u"Alder Creek"_s, u"Riverside"_s,   u"Blue Ridge"_s,    u"Harbor View"_s,  u"Cedar Hill"_s,
    u"Maple Grove"_s, u"North Star"_s,  u"Pine Valley"_s,   u"Summit"_s,       u"Lakeside"_s,
    u"Oak Park"_s,    u"Silver Lake"_s, u"Copper Canyon"_s, u"Red Rock"_s,     u"Evergreen"_s,
    u"Twin Peaks"_s,  u"Stonebridge"_s, u"Willow Bend"_s,   u"Prairie Wind"_s, u"Sunrise"_s,
    u"Bayside"_s,     u"Highland"_s,    u"Meadowbrook"_s,   u"Iron Horse"_s,   u"Brightwater"_s};

const QString kCompanySuffixes[] = {u"Inc."_s,  u"LLC"_s,  u"Co."_s,
                                    u"Corp."_s, u"Ltd."_s, u"Group"_s};

// Company names that exercise quoting, escaping, wildcards and non-ASCII text downstream.
// Every company gets them first, so even a small one has each case.
struct AwkwardCustomer {
    QString name;
    bool bare; // no address, no contact details, like a walk-in account
};
const AwkwardCustomer kAwkwardCustomers[] = {{u"O'Brien Plumbing"_s, false},
                                             {u"Smith & Sons Hardware"_s, false},
                                             {u"Müller Precision Tools"_s, false},
                                             {u"Zoë's Flower Studio"_s, false},
                                             {u"Ñandú Café"_s, false},
                                             {u"Cash Customer"_s, true},
                                             {u"100% Natural Foods"_s, false},
                                             {u"Fresh_Start Staffing"_s, false},
                                             {u"Star*Bright Cleaning"_s, false},
                                             {u"[Square One] Design"_s, false},
                                             {u"Dvořák & Peña Architects"_s, false}};

const QString kJobNames[] = {u"Kitchen Remodel"_s,
                             u"Office Expansion"_s,
                             u"Warehouse Fit-out"_s,
                             u"Roof Replacement"_s,
                             u"Annual Maintenance"_s,
                             u"Store Remodel"_s,
                             u"New Showroom"_s,
                             u"Basement Finish"_s,
                             u"Deck & Patio"_s,
                             u"Parking Lot Repair"_s,
                             u"Phase 2"_s,
                             u"Emergency Repairs"_s,
                             u"Café Build-out"_s,
                             u"Lobby Refresh"_s,
                             u"Tenant Improvements"_s};

const QString kJobDescriptions[] = {u"Per signed estimate"_s, u"Time and materials"_s,
                                    u"Fixed bid, 3 phases"_s, u"Owner's materials, our labor"_s,
                                    u"Service agreement"_s};

const QString kStreets[] = {u"Mill"_s,   u"Harbor"_s, u"Main"_s,   u"Oak"_s,        u"Cedar"_s,
                            u"Elm"_s,    u"Maple"_s,  u"Pine"_s,   u"Washington"_s, u"Lincoln"_s,
                            u"Park"_s,   u"Lake"_s,   u"Hill"_s,   u"River"_s,      u"Church"_s,
                            u"Market"_s, u"Spring"_s, u"Center"_s, u"Highland"_s,   u"Union"_s};

const QString kStreetTypes[] = {u"Street"_s, u"Road"_s,  u"Avenue"_s, u"Boulevard"_s,
                                u"Lane"_s,   u"Drive"_s, u"Way"_s,    u"Court"_s};

const QString kUnits[] = {u"Suite 4"_s, u"Suite 210"_s,  u"Unit B"_s,
                          u"Floor 2"_s, u"Building 7"_s, u"Dock 3"_s};

struct City {
    QString name;
    QString state;
    int zip3;
    int areaCode;
};
const City kCities[] = {
    {u"Springfield"_s, u"OR"_s, 974, 541},   {u"Portland"_s, u"OR"_s, 972, 503},
    {u"Eugene"_s, u"OR"_s, 974, 541},        {u"Seattle"_s, u"WA"_s, 981, 206},
    {u"Spokane"_s, u"WA"_s, 992, 509},       {u"Boise"_s, u"ID"_s, 837, 208},
    {u"Coeur d'Alene"_s, u"ID"_s, 838, 208}, {u"Austin"_s, u"TX"_s, 787, 512},
    {u"Denver"_s, u"CO"_s, 802, 303},        {u"Fort Collins"_s, u"CO"_s, 805, 970},
    {u"Madison"_s, u"WI"_s, 537, 608},       {u"Burlington"_s, u"VT"_s, 54, 802},
    {u"Albany"_s, u"NY"_s, 122, 518},        {u"Santa Fe"_s, u"NM"_s, 875, 505},
    {u"Española"_s, u"NM"_s, 875, 505},      {u"Asheville"_s, u"NC"_s, 288, 828},
    {u"Savannah"_s, u"GA"_s, 314, 912},      {u"Duluth"_s, u"MN"_s, 558, 218},
    {u"Tucson"_s, u"AZ"_s, 857, 520},        {u"Omaha"_s, u"NE"_s, 681, 402},
    {u"Columbus"_s, u"OH"_s, 432, 614},      {u"Pittsburgh"_s, u"PA"_s, 152, 412},
    {u"Providence"_s, u"RI"_s, 29, 401},     {u"Charleston"_s, u"SC"_s, 294, 843},
    {u"San José"_s, u"CA"_s, 951, 408},      {u"Bangor"_s, u"ME"_s, 44, 207}};

const QString kSalutations[] = {u"Mr."_s, u"Ms."_s, u"Mrs."_s, u"Dr."_s};
const QString kMailDomains[] = {u"example.com"_s, u"example.net"_s, u"example.org"_s};
const QString kMailboxes[] = {u"info"_s, u"orders"_s, u"billing"_s, u"office"_s, u"ap"_s};

const QString kCustomerNotes[] = {
    u"Prefers invoices by e-mail."_s, u"Call before delivery; gate code 4412."_s,
    u"Tax-exempt certificate on file."_s, u"Pays by check, usually late in the month."_s};

// ---------------------------------------------------------------------------------------------
// Sales reps

QList<SalesRep> makeReps(Random &random, const Lists &lists, Moment setup)
{
    QList<SalesRep> reps;
    QSet<QString> initials;
    const int count = random.betweenInt(6, 10);
    std::uint64_t employees = 0;
    for (int i = 0; i < count; ++i) {
        SalesRep rep;
        setup.seconds += random.betweenInt(10, 120);
        rep.created = setup;
        rep.modified = i == 1 ? laterMoment(random, setup, setup.date.addDays(300)) : setup;
        rep.listId = sequenceId(static_cast<std::uint64_t>(i + 1) << 16, setup.epoch());
        rep.active = i != 1;
        QString initial;
        if (i == count - 1) {
            rep.entity = lists.vendors[NorthwestReps];
            initial = u"NWR"_s;
        } else {
            const QString first = random.pick(kFirstNames);
            const QString middle = random.letter();
            const QString last = random.pick(kLastNames);
            rep.entity.listId = sequenceId(0xB0000 + employees++, setup.epoch() - 600);
            if (i != 2) // this one's employee record is only known by ListID
                rep.entity.fullName = first + u' ' + middle + u". "_s + last;
            initial = first.left(1) + middle + last.left(1);
        }
        QString unique = initial.toUpper();
        for (int n = 2; initials.contains(unique); ++n)
            unique = initial.toUpper() + QString::number(n);
        initials.insert(unique);
        rep.initial = unique;
        reps.append(rep);
    }
    // QuickBooks lists reps by their initials.
    std::sort(reps.begin(), reps.end(),
              [](const SalesRep &a, const SalesRep &b) { return a.initial < b.initial; });
    return reps;
}

// ---------------------------------------------------------------------------------------------
// Customers and jobs

class CustomerMaker {
public:
    CustomerMaker(Random &random, EntityIds &ids, const Company &company, Moment start)
        : m_random(random), m_ids(ids), m_company(company), m_clock(start)
    {
        for (qsizetype i = 0; i < company.items.size(); ++i) {
            const Item &item = company.items[i];
            if (item.active &&
                (item.kind == ItemKind::SalesTax || item.kind == ItemKind::SalesTaxGroup))
                m_taxItems.append(i);
        }
    }

    // `count` top-level customers, each followed by its jobs, created over `days` days.
    QList<Customer> make(int count, qint64 days)
    {
        for (int i = 0; i < count; ++i) {
            m_clock = officeMoment(m_random, m_start.addDays(days * i / std::max(count, 1)));
            const qsizetype parent = addTopLevel(i);
            const int jobs = i == 1 ? 2 : (m_random.below(6) == 0 ? m_random.betweenInt(1, 3) : 0);
            for (int j = 0; j < jobs; ++j)
                addJob(parent);
        }
        return m_customers;
    }

private:
    QString uniqueName(const QString &wanted)
    {
        QString name = wanted.left(41);
        for (int n = 2; m_names.contains(name.toCaseFolded()); ++n) {
            const QString suffix = u' ' + QString::number(n);
            name = wanted.left(41 - suffix.size()) + suffix;
        }
        m_names.insert(name.toCaseFolded());
        return name;
    }

    Customer &newRecord(const QString &name, qsizetype parent)
    {
        Customer customer;
        m_clock.seconds = std::min(m_clock.seconds + m_random.betweenInt(30, 600), 86399);
        customer.created = m_clock;
        customer.modified = m_random.chance(40)
                                ? laterMoment(m_random, m_clock, m_company.lastInvoiceDate)
                                : m_clock;
        customer.listId = m_ids.next(customer.created);
        customer.name = name;
        customer.parent = parent;
        customer.fullName = parent < 0 ? name : m_customers[parent].fullName + u':' + name;
        m_customers.append(customer);
        return m_customers.last();
    }

    qsizetype addTopLevel(int index)
    {
        const bool awkward = index < static_cast<int>(std::size(kAwkwardCustomers));
        const bool person = !awkward && m_random.chance(40);
        const QString first = m_random.pick(kFirstNames);
        const QString last = m_random.pick(kLastNames);
        QString name;
        if (awkward)
            name = kAwkwardCustomers[index].name;
        else if (person)
            name = m_random.chance(50) ? last + u", "_s + first : first + u' ' + last;
        else
            name = companyName(last);
        Customer &c = newRecord(uniqueName(name), -1);
        c.active = index == 2 ? false : (index < 2 || m_random.chance(95));
        if (awkward && kAwkwardCustomers[index].bare)
            return m_customers.size() - 1;
        if (!person)
            c.companyName =
                name.endsWith(u"Inc."_s) ? name : name + u' ' + m_random.pick(kCompanySuffixes);
        if (person || m_random.chance(70))
            setPerson(c, first, last);
        const City &city = m_random.pick(kCities);
        setAddresses(c, city, index == 0);
        setContacts(c, city, person);
        setTerms(c);
        c.jobStatus = m_random.chance(85) ? u"None"_s : QString();
        if (m_random.chance(8))
            c.notes = m_random.pick(kCustomerNotes);
        return m_customers.size() - 1;
    }

    QString companyName(const QString &last)
    {
        switch (m_random.below(5)) {
        case 0: return last + (m_random.chance(70) ? u" & Sons"_s : u" & Daughters"_s);
        case 1: return last + u" & "_s + m_random.pick(kLastNames);
        case 2: return last + u' ' + m_random.pick(kTrades);
        case 3: return m_random.pick(kPlaces) + u' ' + m_random.pick(kTrades);
        default: return m_random.pick(kPlaces) + u' ' + m_random.pick(kCompanySuffixes);
        }
    }

    void setPerson(Customer &c, const QString &first, const QString &last)
    {
        if (m_random.chance(50))
            c.salutation = m_random.pick(kSalutations);
        c.firstName = first;
        if (m_random.chance(25))
            c.middleName = m_random.letter();
        c.lastName = last;
    }

    QString street()
    {
        return QString::number(m_random.between(1, 9999)) + u' ' + m_random.pick(kStreets) + u' ' +
               m_random.pick(kStreetTypes);
    }

    QString postalCode(const City &city)
    {
        QString zip =
            QString::number(city.zip3).rightJustified(3, u'0') + twoDigits(m_random.below(100));
        if (m_random.chance(15))
            zip += u'-' + QString::number(m_random.between(1000, 9999));
        return zip;
    }

    // The lines above the city: name lines first, then the street, as people address mail.
    Address address(const Customer &c, const City &city, int form)
    {
        Address a;
        const QString addressee = c.companyName.isEmpty() ? c.name : c.companyName;
        const QString person = (c.firstName + u' ' + c.lastName).trimmed();
        switch (form) {
        case 0: // complete
            a.lines = {addressee, person.isEmpty() ? u"Attn: Accounts Payable"_s : person, street(),
                       m_random.pick(kUnits)};
            break;
        case 1: // usual
            a.lines[0] = addressee;
            a.lines[1] = street();
            break;
        default: // partial: a city with perhaps a name, nothing else
            if (m_random.chance(50))
                a.lines[0] = addressee;
            break;
        }
        a.city = city.name;
        if (form <= 1 || m_random.chance(50))
            a.state = city.state;
        if (form <= 1)
            a.postalCode = postalCode(city);
        if (form <= 1 && m_random.chance(5))
            a.country = u"USA"_s;
        return a;
    }

    void setAddresses(Customer &c, const City &city, bool complete)
    {
        const qint64 roll = complete ? 0 : m_random.below(100);
        if (roll < 80) {
            c.billAddress = address(c, city, roll < 25 ? 0 : (roll < 70 ? 1 : 2));
            const qint64 ship = m_random.below(100);
            if (ship < 45 || complete) {
                c.shipAddress = c.billAddress;
            } else if (ship < 65) {
                Address a = address(c, m_random.chance(80) ? city : m_random.pick(kCities), 1);
                a.lines[1] = m_random.chance(50) ? u"Receiving Dock"_s : a.lines[1];
                a.lines[2] = a.lines[1] == u"Receiving Dock"_s ? street() : QString();
                c.shipAddress = a;
            }
        } else if (roll < 82) {
            c.shipAddress = address(c, city, 1);
        }
    }

    QString phone(const City &city)
    {
        return QString::number(city.areaCode) + u"-555-01"_s + twoDigits(m_random.below(100));
    }

    void setContacts(Customer &c, const City &city, bool person)
    {
        if (m_random.chance(85))
            c.phone = phone(city);
        if (m_random.chance(20))
            c.altPhone = phone(city);
        if (!person && m_random.chance(25))
            c.fax = phone(city);
        if (m_random.chance(70)) {
            const QString domain = m_random.pick(kMailDomains);
            c.email = person ? slug(c.firstName) + u'.' + slug(c.lastName) + u'@' + domain
                             : m_random.pick(kMailboxes) + u'@' + slug(c.companyName).left(20) +
                                   u'.' + domain;
        }
        if (!c.firstName.isEmpty() && m_random.chance(60))
            c.contact = c.firstName + u' ' + c.lastName;
        if (m_random.chance(15))
            c.altContact = m_random.pick(kFirstNames) + u' ' + m_random.pick(kLastNames);
    }

    void setTerms(Customer &c)
    {
        const Lists &lists = m_company.lists;
        if (m_random.chance(75))
            c.customerType = m_random.below(lists.customerTypes.size());
        if (m_random.chance(85)) {
            static constexpr int weights[] = {50, 15, 20, 15};
            qint64 roll = m_random.below(100);
            c.terms = 0;
            while (roll >= weights[c.terms])
                roll -= weights[c.terms++];
        }
        if (m_random.chance(80))
            c.rep = m_random.below(m_company.reps.size());
        if (m_random.chance(90)) {
            c.taxCode = m_random.chance(80) ? Taxable : NonTaxable;
            if (m_random.chance(85) && !m_taxItems.isEmpty())
                c.taxItem = m_random.pick(m_taxItems);
        }
        const bool wholesale =
            c.customerType >= 0 && lists.customerTypes[c.customerType].fullName == u"Wholesale"_s;
        if ((wholesale || c.taxCode == NonTaxable) && m_random.chance(60))
            c.resaleNumber = u"R-"_s + QString::number(m_random.between(100000, 999999));
        if (m_random.chance(30))
            c.accountNumber = u"AC-"_s + QString::number(1000 + m_customers.size());
        if (m_random.chance(20))
            c.creditLimit = m_random.between(2, 100) * 50000;
    }

    void addJob(qsizetype parentIndex)
    {
        const Customer parent = m_customers[parentIndex];
        QString name = m_random.pick(kJobNames);
        for (int n = 2; m_names.contains((parent.fullName + u':' + name).toCaseFolded()); ++n)
            name = m_random.pick(kJobNames) + u' ' + QString::number(n);
        m_names.insert((parent.fullName + u':' + name).toCaseFolded());
        Customer &job = newRecord(name, parentIndex);
        job.active = parent.active && m_random.chance(90);
        job.companyName = parent.companyName;
        if (m_random.chance(50)) {
            job.firstName = parent.firstName;
            job.lastName = parent.lastName;
        }
        job.billAddress = parent.billAddress;
        if (m_random.chance(70)) {
            const City &city = m_random.pick(kCities);
            // The job site: the customer's name, the job, the site's street.
            Address site = address(job, city, 1);
            site.lines[2] = site.lines[1];
            site.lines[1] = name;
            job.shipAddress = site;
        }
        job.phone = parent.phone;
        job.email = parent.email;
        job.customerType = parent.customerType;
        job.terms = parent.terms;
        job.rep = parent.rep;
        job.taxCode = parent.taxCode;
        job.taxItem = parent.taxItem;
        setJobDetails(job);
    }

    void setJobDetails(Customer &job)
    {
        static const QString statuses[] = {u"Awarded"_s, u"Closed"_s, u"InProgress"_s,
                                           u"NotAwarded"_s, u"Pending"_s};
        job.jobStatus = m_random.pick(statuses);
        const qint64 span = m_company.firstInvoiceDate.daysTo(m_company.lastInvoiceDate);
        job.jobStart = m_company.firstInvoiceDate.addDays(m_random.between(0, span));
        if (m_random.chance(60))
            job.jobProjectedEnd = job.jobStart.addDays(m_random.between(30, 180));
        if (job.jobStatus == u"Closed"_s)
            job.jobEnd = job.jobStart.addDays(m_random.between(20, 200));
        job.jobDesc = m_random.pick(kJobDescriptions);
        if (m_random.chance(70))
            job.jobType = m_random.below(m_company.lists.jobTypes.size());
    }

    Random &m_random;
    EntityIds &m_ids;
    const Company &m_company;
    Moment m_clock;
    QDate m_start = m_clock.date;
    QList<Customer> m_customers;
    QSet<QString> m_names;
    QList<qsizetype> m_taxItems;
};

} // namespace

void buildCompany(Company &company, const GeneratorOptions &options, Random &random)
{
    company.lastInvoiceDate = options.lastDate;
    company.firstInvoiceDate = options.lastDate.addYears(-4).addDays(1);
    const Moment setup{company.firstInvoiceDate.addDays(-120), 9 * 3600};
    company.lists = makeLists(random, setup);
    company.reps = makeReps(random, company.lists, {setup.date, 10 * 3600});
    EntityIds ids;
    company.items = makeItems(random, ids, {setup.date.addDays(1), 9 * 3600}, options.lastDate,
                              options.invoices / 400);
    indexItems(company);
    CustomerMaker customers(random, ids, company, {setup.date.addDays(2), 9 * 3600});
    company.customers = customers.make(options.customers, 110);
}

} // namespace corvina::qbsim::gen
