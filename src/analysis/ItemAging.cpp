#include "analysis/ItemAging.h"

#include "analysis/ItemTypeStore.h"
#include "localdb/Error.h"
#include "localdb/LocalDb.h"
#include "localdb/SavedRecordset.h"
#include "localdb/Value.h"
#include "shell/ProgramState.h"
#include "shell/Screen.h"

#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

#include <algorithm>

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
    int firstDate = -1; // -1: no dated line
    int lastDate = -1;
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
// lookup each and only new values are converted. Id 0 is the empty value (NULL).
class TextDictionary {
public:
    TextDictionary()
    {
        m_bytes.emplace_back();
        m_texts.emplace_back();
    }
    int idOf(sqlite3_stmt *st, int column)
    {
        if (sqlite3_column_type(st, column) == SQLITE_NULL)
            return 0;
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
        const int bytes = sqlite3_column_bytes(st, column);
        const auto it = m_ids.constFind(QByteArray::fromRawData(text, bytes));
        if (it != m_ids.constEnd())
            return *it;
        const int id = static_cast<int>(m_texts.size());
        m_bytes.emplace_back(text, bytes);
        m_texts.push_back(QString::fromUtf8(m_bytes.back()));
        m_ids.insert(m_bytes.back(), id);
        return id;
    }
    const QByteArray &bytes(int id) const { return m_bytes[static_cast<size_t>(id)]; }
    const QString &text(int id) const { return m_texts[static_cast<size_t>(id)]; }
    int size() const { return static_cast<int>(m_texts.size()); }

private:
    QHash<QByteArray, int> m_ids;
    std::vector<QByteArray> m_bytes;
    std::vector<QString> m_texts;
};

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

enum LineColumn { LineCustomer, LineItem, LineInvNo, LineQty, LineAmt, LineDate, LineClass };

void addToGroup(LineGroup &group, sqlite3_stmt *line, TextDictionary &dates,
                TextDictionary &classes)
{
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
    // The stored form of a date sorts as the dates do.
    const int date = dates.idOf(line, LineDate);
    if (date != 0) {
        if (group.firstDate < 0 || dates.bytes(date) < dates.bytes(group.firstDate))
            group.firstDate = date;
        if (group.lastDate < 0 || dates.bytes(date) > dates.bytes(group.lastDate))
            group.lastDate = date;
    }
    group.lineClass = classes.idOf(line, LineClass);
}

// The values many child rows share, made once: names, ListIDs, classes, dates and the
// customers' state and type, by dictionary id.
struct SharedValues {
    std::vector<QVariant> customers;
    std::vector<QVariant> listIds;
    std::vector<QVariant> classes;
    std::vector<QVariant> dates;
    std::vector<CustomerFacts> facts; // by customer text id
};

// One item's customers, read from their groups: a child row costs a small struct, not ten
// stored values.
class ChildRows : public reporting::ReportRows {
public:
    explicit ChildRows(std::shared_ptr<const SharedValues> shared) : m_shared(std::move(shared)) {}
    void add(const LineGroup &group) { m_groups.push_back(group); }

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
        const LineGroup &g = m_groups[static_cast<size_t>(row)];
        const SharedValues &v = *m_shared;
        const auto at = [](const std::vector<QVariant> &values, int id) {
            return id < 0 ? QVariant() : values[static_cast<size_t>(id)];
        };
        switch (field) {
        case Customer: return at(v.customers, g.customerText);
        case Purchases: return g.purchases;
        case QtyTot: return g.hasQty ? QVariant(g.qty) : QVariant();
        case SalesTot: return g.hasAmt ? QVariant(g.amt) : QVariant();
        case LastPurch: return at(v.dates, g.lastDate);
        case FirstPurch: return at(v.dates, g.firstDate);
        case Class: return at(v.classes, g.lineClass);
        case State: return v.facts[static_cast<size_t>(g.customerText)].state;
        case Type: return v.facts[static_cast<size_t>(g.customerText)].type;
        case ListID: return at(v.listIds, g.listIdText);
        default: return {};
        }
    }

private:
    std::shared_ptr<const SharedValues> m_shared;
    std::vector<LineGroup> m_groups;
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
};

} // namespace

std::shared_ptr<reporting::ReportRows> buildItemAging(const QString &appFolder,
                                                      const ItemKindClause &clause)
{
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    auto result = std::make_shared<ItemAgingRows>();
    auto shared = std::make_shared<SharedValues>();

    Statement parents =
        db.prepare(QStringLiteral("Select Name, \"Desc\", ListID From Items Where IsActive <> 0") +
                   clause.sql + QStringLiteral(" Order By rowid"));
    parents.bindAll(clause.values);
    // ListIDs compare without case, as the column does; a repeated ListID relates the same
    // children to each of its items. An item without ListID relates to nothing.
    CaseFoldedIds itemIds;
    QHash<int, QList<int>> parentsOfItem;
    while (parents.step()) {
        const int row = result->addItem(parents.values(), shared);
        const QVariant listId = parents.value(2);
        if (!listId.isNull())
            parentsOfItem[itemIds.idOf(listId.toString())].append(row);
    }
    if (parentsOfItem.isEmpty())
        return result;

    // Customers by name; with a repeated name the first stored row speaks for it, so a line
    // is never counted twice.
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

    // Lines in stored order, grouped by customer name and item; lines of items not listed
    // are skipped. Each distinct spelling of a name or ListID is folded once.
    TextDictionary customerTexts, itemTexts, dateTexts, classTexts;
    std::vector<int> itemOfText{-1}; // item text → listed item id, or -1
    CaseFoldedIds lineCustomerIds;
    std::vector<int> customerOfText{lineCustomerIds.idOf(QString())};
    std::vector<LineGroup> groups;
    QHash<quint64, int> groupOf;
    RawQuery lines(db, "Select Customer, ItemRefID, InvNo, Qty, Amt, Cast(InvDate As Text), Class "
                       "From Invoices Order By rowid");
    while (lines.step(db)) {
        sqlite3_stmt *line = lines.get();
        const int itemText = itemTexts.idOf(line, LineItem);
        if (static_cast<size_t>(itemText) == itemOfText.size())
            itemOfText.push_back(itemIds.find(itemTexts.text(itemText)));
        const int itemId = itemOfText[static_cast<size_t>(itemText)];
        if (itemId < 0)
            continue;
        const int customerText = customerTexts.idOf(line, LineCustomer);
        if (static_cast<size_t>(customerText) == customerOfText.size())
            customerOfText.push_back(lineCustomerIds.idOf(customerTexts.text(customerText)));
        const int customerId = customerOfText[static_cast<size_t>(customerText)];
        const quint64 key = (static_cast<quint64>(static_cast<quint32>(customerId)) << 32) |
                            static_cast<quint32>(itemId);
        auto it = groupOf.find(key);
        if (it == groupOf.end()) {
            it = groupOf.insert(key, static_cast<int>(groups.size()));
            LineGroup group;
            group.customerText = customerText;
            group.customerId = customerId;
            group.itemId = itemId;
            group.listIdText = itemText;
            groups.push_back(group);
        }
        addToGroup(groups[static_cast<size_t>(*it)], line, dateTexts, classTexts);
    }

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
    for (int d = 1; d < dateTexts.size(); ++d) {
        const QDateTime date = dateFromStorage(dateTexts.text(d));
        shared->dates[static_cast<size_t>(d)] = date.isValid() ? QVariant(date) : QVariant();
    }
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
    shared->listIds = values(itemTexts);
    shared->classes = values(classTexts);
    for (const int g : order) {
        const LineGroup &group = groups[static_cast<size_t>(g)];
        const auto parentRows = parentsOfItem.constFind(group.itemId);
        if (parentRows == parentsOfItem.constEnd())
            continue;
        for (const int parent : *parentRows)
            result->childrenOf(parent).add(group);
    }
    return result;
}

namespace {

// The numbered steps of GetItemAging; a failure names the step it happened in.
QStringList askExclusions(ProgramState &state, const QStringList &kinds)
{
    const QStringList preselected = preselectedKinds(kinds, readExcludedKinds(state.appFolder()));
    // Closing the dialog without "&OK" keeps the previous choice.
    return state.screen().askExcludedItemKinds(kinds, preselected).value_or(preselected);
}

template <typename F> auto atStep(int line, F &&f)
{
    try {
        return f();
    } catch (const Error &e) {
        throw e.atLine(line);
    }
}

} // namespace

bool GetItemAging(ProgramState &state, const std::function<void()> &showWindow)
{
    const QString folder = state.appFolder();
    try {
        atStep(10, [&] {
            if (!QFileInfo::exists(savedRecordsetPath(folder, QStringLiteral("ItemTypes"))))
                CreateSavedRecordset(folder, QStringLiteral("ItemTypes"));
        });
        const QStringList kinds = atStep(20, [&] {
            Database db = openLocalDb(folder, Database::Mode::ReadOnly);
            return listItemKinds(db);
        });
        const QStringList excluded = atStep(20, [&] { return askExclusions(state, kinds); });
        const ItemKindClause clause = itemKindClause(kinds, excluded);
        atStep(40, [&] { storeExcludedKinds(folder, excluded); });

        StatusSession status(state.status());
        status->step(QStringLiteral("Building report..."));
        atStep(80, [&] {
            if (state.itemAging())
                throw Error(kObjectOpen,
                            QStringLiteral("Operation is not allowed when the object is open."));
            state.itemAging() = buildItemAging(folder, clause);
        });
        atStep(90, [&] { showWindow(); });
        return true;
    } catch (const Error &e) {
        state.showError(QStringLiteral("GetItemAging"), e.description(), e.number(), e.line());
    } catch (const std::exception &e) {
        state.showError(QStringLiteral("GetItemAging"), QString::fromLocal8Bit(e.what()),
                        errc::kDatabaseFailure, 0);
    }
    return false;
}

} // namespace corvina
