#include "analysis/ItemAging.h"

#include "analysis/ItemTypeStore.h"
#include "base/Error.h"
#include "localdb/LocalDb.h"
#include "localdb/SavedRecordset.h"
#include "localdb/Value.h"
#include "state/ProgramState.h"
#include "base/Screen.h"

#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <sqlite3.h>

#include <algorithm>
#include <future>
#include <string>
#include <string_view>

using namespace Qt::StringLiterals;

namespace corvina {

namespace {

// ADO's "Operation is not allowed when the object is open" (adErrObjectOpen).
constexpr std::int32_t kObjectOpen = -2146824583;

enum ChildColumn {
    Customer,
    Purchases,
    QtyTot,
    SalesTot,
    LastPurch,
    FirstPurch,
    Class,
    State,
    Type,
    ListID
};

} // namespace

ItemKindClause itemKindClause(const QStringList &kinds, const QStringList &excluded)
{
    ItemKindClause clause;
    for (const QString &kind : kinds) {
        if (excluded.contains(kind))
            continue;
        clause.sql += clause.values.empty() ? QStringLiteral(" And (") : QStringLiteral(" Or ");
        clause.sql += QStringLiteral("Type = ?");
        clause.values.emplace_back(itemKindStoredForm(kind));
    }
    if (!clause.values.empty())
        clause.sql += QStringLiteral(")");
    return clause;
}

namespace {

// The first and last date of some lines, as ids of their stored texts; -1: no dated line.
struct DateSpan {
    int first = -1;
    int last = -1;
};

// One (customer, item) group of invoice lines, aggregated while the lines are read in stored
// order: the last line read gives the class. Texts are ids into the column's dictionary.
struct LineGroup {
    int customerText = 0; // the name as on the group's first line
    int customerId = 0;   // the name without case
    int itemId = 0;
    int listIdText = 0; // the item's ListID as on the group's first line
    int purchases = 0;
    double qty = 0;
    double amt = 0;
    bool hasQty = false;
    bool hasAmt = false;
    DateSpan dates;
    int lineClass = -1; // -1: empty
};

// Gives equal ids to texts that compare equal without case, as the columns do; the exact
// texts are cached so each distinct spelling is folded once.
class CaseFoldedIds {
public:
    int idOf(const QString &text)
    {
        const auto exact = m_exact.constFind(text);
        if (exact != m_exact.constEnd())
            return *exact;
        const auto folded = m_folded.constFind(text.toCaseFolded());
        const int id = folded != m_folded.constEnd() ? *folded : static_cast<int>(m_folded.size());
        if (folded == m_folded.constEnd())
            m_folded.insert(text.toCaseFolded(), id);
        m_exact.insert(text, id);
        return id;
    }
    // The id of a text already seen, or -1.
    int find(const QString &text) const
    {
        const auto exact = m_exact.constFind(text);
        if (exact != m_exact.constEnd())
            return *exact;
        return m_folded.value(text.toCaseFolded(), -1);
    }

private:
    QHash<QString, int> m_exact;
    QHash<QString, int> m_folded;
};

// The distinct texts of a column by their exact UTF-8 bytes, so that a million lines cost a
// lookup each and only new values are converted. Id 0 is the empty value (NULL). The bytes
// live in one buffer and the table holds (hash, id) pairs, so a lookup touches little memory;
// a run of lines with the same value costs one comparison.
class TextDictionary {
public:
    TextDictionary()
    {
        m_offsets = {0, 0};
        m_texts.emplace_back();
        m_slots.resize(64);
    }
    int idOf(sqlite3_stmt *st, int column)
    {
        if (sqlite3_column_type(st, column) == SQLITE_NULL)
            return 0;
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
        return idOf(std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(st, column))));
    }
    int idOf(std::string_view value)
    {
        if (m_last > 0 && bytes(m_last) == value)
            return m_last;
        const quint32 hash = hashOf(value);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot &slot = m_slots[i];
            if (slot.id == 0) {
                slot = {hash, add(value)};
                m_last = slot.id;
                if (static_cast<size_t>(size()) * 2 > m_slots.size())
                    grow();
                return m_last;
            }
            if (slot.hash == hash && bytes(slot.id) == value)
                return m_last = slot.id;
        }
    }
    std::string_view bytes(int id) const
    {
        const auto from = m_offsets[static_cast<size_t>(id)];
        return {m_arena.data() + from, m_offsets[static_cast<size_t>(id) + 1] - from};
    }
    const QString &text(int id) const { return m_texts[static_cast<size_t>(id)]; }
    int size() const { return static_cast<int>(m_texts.size()); }

private:
    struct Slot {
        quint32 hash = 0;
        int id = 0; // 0: free
    };
    static quint32 hashOf(std::string_view value)
    {
        quint64 h = 14695981039346656037ULL; // FNV-1a
        for (const char c : value)
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        return static_cast<quint32>(h ^ (h >> 32));
    }
    int add(std::string_view value)
    {
        m_arena.append(value);
        m_offsets.push_back(m_arena.size());
        m_texts.push_back(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
        return size() - 1;
    }
    void grow()
    {
        std::vector<Slot> table(m_slots.size() * 2);
        const size_t mask = table.size() - 1;
        for (const Slot &slot : m_slots) {
            if (slot.id == 0)
                continue;
            size_t i = slot.hash & mask;
            while (table[i].id != 0)
                i = (i + 1) & mask;
            table[i] = slot;
        }
        m_slots = std::move(table);
    }

    std::string m_arena;
    std::vector<size_t> m_offsets; // text id's bytes: [offsets[id], offsets[id + 1])
    std::vector<QString> m_texts;
    std::vector<Slot> m_slots;
    int m_last = 0;
};

// Group numbers by (customer id, item id): open addressing over 64-bit keys.
class GroupTable {
public:
    GroupTable() : m_slots(1024) {}
    // The group of the key, or -1 after making room for it as group number `next`.
    int findOrAdd(quint64 key, int next)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = spread(key) & mask;; i = (i + 1) & mask) {
            Slot &slot = m_slots[i];
            if (slot.group < 0) {
                slot = {key, next};
                if (static_cast<size_t>(++m_count) * 2 > m_slots.size())
                    grow();
                return -1;
            }
            if (slot.key == key)
                return slot.group;
        }
    }

private:
    struct Slot {
        quint64 key = 0;
        int group = -1;
    };
    static size_t spread(quint64 key)
    {
        key *= 0x9E3779B97F4A7C15ULL;
        return static_cast<size_t>(key ^ (key >> 29));
    }
    void grow()
    {
        std::vector<Slot> table(m_slots.size() * 2);
        const size_t mask = table.size() - 1;
        for (const Slot &slot : m_slots) {
            if (slot.group < 0)
                continue;
            size_t i = spread(slot.key) & mask;
            while (table[i].group >= 0)
                i = (i + 1) & mask;
            table[i] = slot;
        }
        m_slots = std::move(table);
    }

    std::vector<Slot> m_slots;
    int m_count = 0;
};

// A date as stored, read back; null when empty or unreadable.
QVariant storedDate(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    const QDateTime date = dateFromStorage(stored.toString());
    return date.isValid() ? QVariant(date) : QVariant();
}

struct CustomerFacts {
    QVariant state;
    QVariant type;
};

// A statement read column by column without conversions; no values are bound.
class RawQuery {
public:
    RawQuery(Database &db, const QByteArray &sql)
    {
        const int rc = sqlite3_prepare_v2(db.handle(), sql.constData(),
                                          static_cast<int>(sql.size()), &m_st, nullptr);
        if (rc != SQLITE_OK)
            db.raise(rc, QStringLiteral("reading the invoice lines"));
    }
    RawQuery(const RawQuery &) = delete;
    RawQuery &operator=(const RawQuery &) = delete;
    ~RawQuery() { sqlite3_finalize(m_st); }
    void bind(int index, qint64 value) { sqlite3_bind_int64(m_st, index, value); }
    bool step(Database &db)
    {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            db.raise(rc, QStringLiteral("reading the invoice lines"));
        return false;
    }
    sqlite3_stmt *get() const noexcept { return m_st; }

private:
    sqlite3_stmt *m_st = nullptr;
};

// A deferred read transaction, ended when it goes out of scope.
class ReadTransaction {
public:
    explicit ReadTransaction(Database &db) : m_db(db) { m_db.execute(QStringLiteral("BEGIN")); }
    ReadTransaction(const ReadTransaction &) = delete;
    ReadTransaction &operator=(const ReadTransaction &) = delete;
    ~ReadTransaction() { sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr); }

private:
    Database &m_db;
};

enum LineColumn { LineCustomer, LineItem, LineInvNo, LineQty, LineAmt, LineDate, LineClass };

// The invoice lines of one rowid range grouped by customer name and item, in reading order;
// lines of items not listed are skipped. Each distinct spelling of a name or ListID is
// folded once.
class LineGroups {
public:
    explicit LineGroups(const CaseFoldedIds &listedItems) : m_listedItems(listedItems)
    {
        customerOfText.push_back(customerIds.idOf(QString()));
    }

    void read(Database &db, qint64 fromRowid, qint64 toRowid)
    {
        RawQuery lines(db, "Select Customer, ItemRefID, InvNo, Qty, Amt, Cast(InvDate As Text), "
                           "Class From Invoices Where rowid Between ?1 And ?2 Order By rowid");
        lines.bind(1, fromRowid);
        lines.bind(2, toRowid);
        while (lines.step(db)) {
            sqlite3_stmt *line = lines.get();
            const int date = dateTexts.idOf(line, LineDate);
            addDate(period, date, date); // every line counts for the period
            const int itemText = itemTexts.idOf(line, LineItem);
            const int itemId = listedItemOf(itemText);
            if (itemId < 0)
                continue;
            const int customerText = customerTexts.idOf(line, LineCustomer);
            LineGroup &group = groupOf(customerText, itemId, itemText);
            if (sqlite3_column_type(line, LineInvNo) != SQLITE_NULL)
                ++group.purchases;
            if (sqlite3_column_type(line, LineQty) != SQLITE_NULL) {
                group.qty += sqlite3_column_double(line, LineQty);
                group.hasQty = true;
            }
            if (sqlite3_column_type(line, LineAmt) != SQLITE_NULL) {
                group.amt += sqlite3_column_double(line, LineAmt);
                group.hasAmt = true;
            }
            addDate(group.dates, date, date);
            group.lineClass = classTexts.idOf(line, LineClass);
        }
    }

    // Adds the groups of `later`, whose lines come after these in stored order, as if its
    // lines had been read here.
    void absorb(const LineGroups &later)
    {
        const auto mapTexts = [](TextDictionary &into, const TextDictionary &from) {
            std::vector<int> ids(static_cast<size_t>(from.size()), 0);
            for (int t = 1; t < from.size(); ++t)
                ids[static_cast<size_t>(t)] = into.idOf(from.bytes(t));
            return ids;
        };
        const std::vector<int> customerText = mapTexts(customerTexts, later.customerTexts);
        const std::vector<int> itemText = mapTexts(itemTexts, later.itemTexts);
        const std::vector<int> dateText = mapTexts(dateTexts, later.dateTexts);
        const std::vector<int> classText = mapTexts(classTexts, later.classTexts);
        const auto mapped = [](const std::vector<int> &ids, int id) {
            return id < 0 ? id : ids[static_cast<size_t>(id)];
        };
        addDate(period, mapped(dateText, later.period.first), mapped(dateText, later.period.last));
        for (const LineGroup &from : later.groups) {
            const int customer = customerText[static_cast<size_t>(from.customerText)];
            LineGroup &group =
                groupOf(customer, from.itemId, itemText[static_cast<size_t>(from.listIdText)]);
            group.purchases += from.purchases;
            group.qty += from.qty;
            group.hasQty = group.hasQty || from.hasQty;
            group.amt += from.amt;
            group.hasAmt = group.hasAmt || from.hasAmt;
            addDate(group.dates, mapped(dateText, from.dates.first),
                    mapped(dateText, from.dates.last));
            group.lineClass = mapped(classText, from.lineClass); // the later line's class
        }
    }

    TextDictionary customerTexts, itemTexts, dateTexts, classTexts;
    CaseFoldedIds customerIds; // the names without case
    std::vector<LineGroup> groups;
    DateSpan period; // of every line read, listed item or not

private:
    // Texts are numbered as they are first met, so the tables below only ever grow at the end.
    int listedItemOf(int itemText)
    {
        while (itemOfText.size() <= static_cast<size_t>(itemText)) {
            const int next = static_cast<int>(itemOfText.size());
            itemOfText.push_back(m_listedItems.find(itemTexts.text(next)));
        }
        return itemOfText[static_cast<size_t>(itemText)];
    }
    int customerIdOf(int customerText)
    {
        while (customerOfText.size() <= static_cast<size_t>(customerText)) {
            const int next = static_cast<int>(customerOfText.size());
            customerOfText.push_back(customerIds.idOf(customerTexts.text(next)));
        }
        return customerOfText[static_cast<size_t>(customerText)];
    }

    LineGroup &groupOf(int customerText, int itemId, int itemText)
    {
        const int customerId = customerIdOf(customerText);
        const quint64 key = (static_cast<quint64>(static_cast<quint32>(customerId)) << 32) |
                            static_cast<quint32>(itemId);
        const int found = m_groupOf.findOrAdd(key, static_cast<int>(groups.size()));
        if (found >= 0)
            return groups[static_cast<size_t>(found)];
        LineGroup &group = groups.emplace_back();
        group.customerText = customerText;
        group.customerId = customerId;
        group.itemId = itemId;
        group.listIdText = itemText;
        return group;
    }

    // The stored form of a date sorts as the dates do; id 0 or -1 is no date.
    void addDate(DateSpan &span, int first, int last) const
    {
        if (first > 0 && (span.first < 0 || dateTexts.bytes(first) < dateTexts.bytes(span.first)))
            span.first = first;
        if (last > 0 && (span.last < 0 || dateTexts.bytes(last) > dateTexts.bytes(span.last)))
            span.last = last;
    }

    const CaseFoldedIds &m_listedItems;
    std::vector<int> itemOfText{-1}; // item text → listed item id, or -1
    std::vector<int> customerOfText; // customer text → customer id
    GroupTable m_groupOf;
};

// The values many child rows share, made once: names, ListIDs, classes, dates and the
// customers' state and type, by dictionary id.
struct SharedValues {
    std::vector<LineGroup> groups;
    std::vector<QVariant> customers;
    std::vector<QVariant> listIds;
    std::vector<QVariant> classes;
    std::vector<QVariant> dates;
    std::vector<CustomerFacts> facts; // by customer text id
};

// One item's customers, read from their groups: a child row costs a group number, not ten
// stored values.
class ChildRows : public reporting::ReportRows {
public:
    explicit ChildRows(std::shared_ptr<const SharedValues> shared) : m_shared(std::move(shared)) {}
    void add(int group) { m_groups.push_back(group); }

    int count() const override { return static_cast<int>(m_groups.size()); }
    int fieldIndex(const QString &name) const override
    {
        for (qsizetype i = 0; i < kItemAgingChildFields.size(); ++i) {
            if (kItemAgingChildFields.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        }
        return -1;
    }
    QVariant value(int row, int field) const override
    {
        if (row < 0 || row >= count())
            return {};
        const SharedValues &v = *m_shared;
        const LineGroup &g = v.groups[static_cast<size_t>(m_groups[static_cast<size_t>(row)])];
        const auto at = [](const std::vector<QVariant> &values, int id) {
            return id < 0 ? QVariant() : values[static_cast<size_t>(id)];
        };
        switch (field) {
        case Customer: return at(v.customers, g.customerText);
        case Purchases: return g.purchases;
        case QtyTot: return g.hasQty ? QVariant(g.qty) : QVariant();
        case SalesTot: return g.hasAmt ? QVariant(g.amt) : QVariant();
        case LastPurch: return at(v.dates, g.dates.last);
        case FirstPurch: return at(v.dates, g.dates.first);
        case Class: return at(v.classes, g.lineClass);
        case State: return v.facts[static_cast<size_t>(g.customerText)].state;
        case Type: return v.facts[static_cast<size_t>(g.customerText)].type;
        case ListID: return at(v.listIds, g.listIdText);
        default: return {};
        }
    }

private:
    std::shared_ptr<const SharedValues> m_shared;
    std::vector<int> m_groups;
};

// rsItemAging: the items in memory, each with its customers under "Child".
class ItemAgingRows : public reporting::ReportRows {
public:
    int addItem(const QVariantList &values, std::shared_ptr<const SharedValues> shared)
    {
        m_items.push_back(values);
        m_children.push_back(std::make_unique<ChildRows>(std::move(shared)));
        return count() - 1;
    }
    ChildRows &childrenOf(int row) { return *m_children[static_cast<size_t>(row)]; }
    void setPeriod(const QVariant &first, const QVariant &last)
    {
        m_firstDate = first;
        m_lastDate = last;
    }
    const QVariant &firstDate() const { return m_firstDate; }
    const QVariant &lastDate() const { return m_lastDate; }

    int count() const override { return static_cast<int>(m_items.size()); }
    int fieldIndex(const QString &name) const override
    {
        for (qsizetype i = 0; i < kItemAgingFields.size(); ++i) {
            if (kItemAgingFields.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        }
        return -1;
    }
    QVariant value(int row, int field) const override
    {
        if (row < 0 || row >= count() || field < 0 || field >= kItemAgingFields.size())
            return {};
        return m_items[static_cast<size_t>(row)].value(field);
    }
    const ReportRows *children(int row, const QString &member) const override
    {
        if (row < 0 || row >= count() || member.compare(kItemAgingMember, Qt::CaseInsensitive) != 0)
            return nullptr;
        return m_children[static_cast<size_t>(row)].get();
    }

private:
    std::vector<QVariantList> m_items;
    std::vector<std::unique_ptr<ChildRows>> m_children;
    QVariant m_firstDate; // of the invoice lines analysed; null without a dated line
    QVariant m_lastDate;
};

} // namespace

std::shared_ptr<reporting::ReportRows> buildItemAging(const QString &appFolder,
                                                      const ItemKindClause &clause)
{
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    // Every read below sees one state of the file: the first read takes a shared lock, held
    // until the end, so no writer can commit while the second connection starts reading.
    ReadTransaction snapshot(db);
    auto result = std::make_shared<ItemAgingRows>();
    auto shared = std::make_shared<SharedValues>();

    Statement parents =
        db.prepare(QStringLiteral("Select Name, \"Desc\", ListID From Items Where IsActive <> 0") +
                   clause.sql + QStringLiteral(" Order By rowid"));
    parents.bindAll(clause.values);
    // ListIDs compare without case, as the column does; a repeated ListID relates the same
    // children to each of its items. An item without ListID relates to nothing.
    CaseFoldedIds itemIds;
    std::vector<std::vector<int>> parentsOfItem; // by item id
    bool anyListed = false;
    while (parents.step()) {
        const int row = result->addItem(parents.values(), shared);
        const QVariant listId = parents.value(2);
        if (listId.isNull())
            continue;
        const auto item = static_cast<size_t>(itemIds.idOf(listId.toString()));
        if (item >= parentsOfItem.size())
            parentsOfItem.resize(item + 1);
        parentsOfItem[item].push_back(row);
        anyListed = true;
    }
    if (!anyListed) {
        // No item to relate lines to; the period still covers every line.
        Statement period = db.prepare(QStringLiteral(
            "Select Cast(Min(InvDate) As Text), Cast(Max(InvDate) As Text) From Invoices"));
        if (period.step())
            result->setPeriod(storedDate(period.value(0)), storedDate(period.value(1)));
        return result;
    }

    // The lines are read in two halves of the rowid range at once, the later half on a
    // connection of its own in a second thread, and the two groupings joined in stored order.
    qint64 firstRowid = 0;
    qint64 lastRowid = -1;
    {
        Statement range = db.prepare(QStringLiteral("Select Min(rowid), Max(rowid) From Invoices"));
        if (range.step() && !range.value(0).isNull()) {
            firstRowid = range.value(0).toLongLong();
            lastRowid = range.value(1).toLongLong();
        }
    }
    const qint64 middle = firstRowid + (lastRowid - firstRowid) / 2;
    LineGroups lineGroups(itemIds);
    LineGroups laterGroups(itemIds);
    auto later = std::async(std::launch::async, [&] {
        Database own = openLocalDb(appFolder, Database::Mode::ReadOnly);
        laterGroups.read(own, middle + 1, lastRowid);
    });

    // Customers by name; with a repeated name the first stored row speaks for it, so a line
    // is never counted twice. Jobs by full name, through their top-level customer.
    CaseFoldedIds customerIds;
    std::vector<CustomerFacts> customers;
    Statement custs = db.prepare(
        QStringLiteral("Select Name, BillState, CustType From Customers Order By rowid"));
    while (custs.step()) {
        if (custs.value(0).isNull())
            continue;
        const int id = customerIds.idOf(custs.value(0).toString());
        if (static_cast<size_t>(id) == customers.size())
            customers.push_back({custs.value(1), custs.value(2)});
    }
    // A job's lines carry its full name ("Customer:Job"); it takes the state and type of its
    // top-level customer. A customer's own name wins over a job's.
    if (hasTable(db, QStringLiteral("CustomerJobs"))) {
        Statement jobs = db.prepare(QStringLiteral(
            "Select j.FullName, c.BillState, c.CustType From CustomerJobs j "
            "Join Customers c On c.ListID = j.CustListID Where j.FullName Is Not Null "
            "Order By j.rowid, c.rowid"));
        while (jobs.step()) {
            const int id = customerIds.idOf(jobs.value(0).toString());
            if (static_cast<size_t>(id) == customers.size())
                customers.push_back({jobs.value(1), jobs.value(2)});
        }
    }

    lineGroups.read(db, firstRowid, middle);
    later.get();
    lineGroups.absorb(laterGroups);
    const std::vector<LineGroup> &groups = lineGroups.groups;
    const TextDictionary &customerTexts = lineGroups.customerTexts;
    const TextDictionary &dateTexts = lineGroups.dateTexts;

    // Each item's customers in name order: the distinct names are sorted once and the
    // groups ordered by their name's rank, keeping reading order among equal names.
    std::vector<int> nameOfCustomer; // customer id → text id of its first spelling
    for (const LineGroup &group : groups) {
        if (static_cast<size_t>(group.customerId) >= nameOfCustomer.size())
            nameOfCustomer.resize(static_cast<size_t>(group.customerId) + 1, -1);
        if (nameOfCustomer[static_cast<size_t>(group.customerId)] < 0)
            nameOfCustomer[static_cast<size_t>(group.customerId)] = group.customerText;
    }
    std::vector<int> byName(nameOfCustomer.size());
    for (size_t c = 0; c < byName.size(); ++c)
        byName[c] = static_cast<int>(c);
    const auto nameText = [&](int customer) {
        const int text = nameOfCustomer[static_cast<size_t>(customer)];
        return text < 0 ? QString() : customerTexts.text(text);
    };
    std::sort(byName.begin(), byName.end(), [&](int a, int b) {
        return nameText(a).compare(nameText(b), Qt::CaseInsensitive) < 0;
    });
    std::vector<int> rank(byName.size());
    for (size_t r = 0; r < byName.size(); ++r)
        rank[static_cast<size_t>(byName[r])] = static_cast<int>(r);
    // A counting sort by rank: stable, and linear in the number of groups.
    std::vector<int> start(rank.size() + 1, 0);
    for (const LineGroup &group : groups)
        ++start[static_cast<size_t>(rank[static_cast<size_t>(group.customerId)]) + 1];
    for (size_t r = 1; r < start.size(); ++r)
        start[r] += start[r - 1];
    std::vector<int> order(groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        const auto r = static_cast<size_t>(rank[static_cast<size_t>(groups[g].customerId)]);
        order[static_cast<size_t>(start[r]++)] = static_cast<int>(g);
    }

    // Values shared by many rows are made once: dates, classes, ListIDs, customer facts.
    shared->dates.resize(static_cast<size_t>(dateTexts.size()));
    for (int d = 1; d < dateTexts.size(); ++d)
        shared->dates[static_cast<size_t>(d)] = storedDate(dateTexts.text(d));
    const auto dateOf = [&](int id) {
        return id > 0 ? shared->dates[static_cast<size_t>(id)] : QVariant();
    };
    result->setPeriod(dateOf(lineGroups.period.first), dateOf(lineGroups.period.last));
    shared->facts.resize(static_cast<size_t>(customerTexts.size()));
    for (int c = 1; c < customerTexts.size(); ++c) {
        const int known = customerIds.find(customerTexts.text(c));
        if (known >= 0)
            shared->facts[static_cast<size_t>(c)] = customers[static_cast<size_t>(known)];
    }
    const auto values = [](const TextDictionary &texts) {
        std::vector<QVariant> out(static_cast<size_t>(texts.size()));
        for (int t = 1; t < texts.size(); ++t)
            out[static_cast<size_t>(t)] = texts.text(t);
        return out;
    };
    shared->customers = values(customerTexts);
    shared->listIds = values(lineGroups.itemTexts);
    shared->classes = values(lineGroups.classTexts);
    for (const int g : order) {
        const int item = groups[static_cast<size_t>(g)].itemId;
        for (const int parent : parentsOfItem[static_cast<size_t>(item)])
            result->childrenOf(parent).add(g);
    }
    shared->groups = std::move(lineGroups.groups);
    return result;
}

QString periodAnalyzedText(const reporting::ReportRows &itemAging)
{
    const QString label = QStringLiteral("Period Analyzed: ");
    const auto *rows = dynamic_cast<const ItemAgingRows *>(&itemAging);
    if (rows == nullptr || rows->firstDate().isNull())
        return label + QStringLiteral("no invoices");
    const auto shortDate = [](const QVariant &date) {
        return QLocale().toString(date.toDateTime().date(), QLocale::ShortFormat);
    };
    return label + shortDate(rows->firstDate()) + QStringLiteral(" - ") +
           shortDate(rows->lastDate());
}

std::pair<QDate, QDate> analysedPeriod(const reporting::ReportRows &itemAging)
{
    const auto *rows = dynamic_cast<const ItemAgingRows *>(&itemAging);
    if (rows == nullptr || rows->firstDate().isNull())
        return {};
    return {rows->firstDate().toDateTime().date(), rows->lastDate().toDateTime().date()};
}

namespace {

QStringList askExclusions(ProgramState &state, const QStringList &kinds)
{
    const QStringList preselected = preselectedKinds(kinds, readExcludedKinds(state.appFolder()));
    // Closing the dialog without "&OK" keeps the previous choice.
    return state.screen().askExcludedItemKinds(kinds, preselected).value_or(preselected);
}

} // namespace

bool GetItemAging(ProgramState &state, const std::function<void()> &showWindow)
{
    const QString folder = state.appFolder();
    // A failure names the numbered step it happened in.
    ProcedureStep step(10);
    try {
        if (!QFileInfo::exists(savedRecordsetPath(folder, QStringLiteral("ItemTypes"))))
            CreateSavedRecordset(folder, QStringLiteral("ItemTypes"));
        step.reach(20);
        QStringList kinds;
        {
            Database db = openLocalDb(folder, Database::Mode::ReadOnly);
            kinds = listItemKinds(db);
        }
        const QStringList excluded = askExclusions(state, kinds);
        const ItemKindClause clause = itemKindClause(kinds, excluded);
        step.reach(40);
        storeExcludedKinds(folder, excluded);

        StatusSession status(state.status());
        status->step(QStringLiteral("Building report..."));
        step.reach(80);
        if (state.itemAging())
            throw Error(kObjectOpen, QStringLiteral("Operation is not allowed when the object is open."));
        state.itemAging() = buildItemAging(folder, clause);
        step.reach(90);
        showWindow();
        return true;
    } catch (const Error &e) {
        state.showError(QStringLiteral("GetItemAging"), e.description(), e.number(), step.number());
    } catch (const std::exception &e) {
        state.showError(QStringLiteral("GetItemAging"), QString::fromLocal8Bit(e.what()),
                        errc::kDatabaseFailure, step.number());
    }
    return false;
}

} // namespace corvina
