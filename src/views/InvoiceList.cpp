#include "views/InvoiceList.h"

#include "base/Error.h"
#include "retrieval/RetrievalDates.h"
#include "views/InvoiceFormat.h"
#include "views/InvoiceOrder.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>

namespace corvina {

namespace {

constexpr int kBlockRows = 64;
constexpr std::size_t kCachedBlocks = 48;

constexpr std::array<const char *, kInvoiceColumnCount> kColumnNames = {
    "Customer", "InvNo",   "InvDate",   "Class",   "SalesRep", "ShipDate", "ShipMethod",
    "DueDate",  "FOB",     "Memo",      "PO",      "Terms",    "Amt",      "LineClass",
    "Desc",     "ItemRef", "ItemRefID", "RateAmt", "RatePct",  "Qty"};
constexpr int kCustomerListIdField = kInvoiceColumnCount; // read after the grid's columns

enum class Shown { Text, Date, Standard, Number };

Shown shownAs(InvoiceColumn column)
{
    switch (column) {
    case InvoiceColumn::InvDate:
    case InvoiceColumn::ShipDate:
    case InvoiceColumn::DueDate: return Shown::Date;
    case InvoiceColumn::Amt:
    case InvoiceColumn::RateAmt: return Shown::Standard;
    case InvoiceColumn::RatePct:
    case InvoiceColumn::Qty: return Shown::Number;
    default: return Shown::Text;
    }
}

QString readLineSql()
{
    QStringList columns;
    for (const char *name : kColumnNames)
        columns << QLatin1Char('"') + QLatin1String(name) + QLatin1Char('"');
    columns << QStringLiteral("CustListID");
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM Invoices WHERE rowid = ?");
}

// Changes whenever another connection commits to the file. Inside a read transaction it is
// the version of what that transaction reads.
std::int64_t dataVersionOf(Database &db)
{
    Statement pragma = db.prepare(QStringLiteral("PRAGMA data_version"));
    pragma.step();
    return pragma.value(0).toLongLong();
}

} // namespace

QString invoiceColumnName(InvoiceColumn column)
{
    return QLatin1String(kColumnNames[static_cast<std::size_t>(column)]);
}

InvoiceColumn sortColumn(InvoiceSort sort)
{
    switch (sort) {
    case InvoiceSort::Customer: return InvoiceColumn::Customer;
    case InvoiceSort::InvNo: return InvoiceColumn::InvNo;
    case InvoiceSort::InvDate: return InvoiceColumn::InvDate;
    case InvoiceSort::Class: return InvoiceColumn::Class;
    case InvoiceSort::SalesRep: return InvoiceColumn::SalesRep;
    case InvoiceSort::ShipDate: return InvoiceColumn::ShipDate;
    }
    return InvoiceColumn::Customer;
}

struct InvoiceList::Listing {
    std::int64_t version = 0;
    std::vector<std::int64_t> rowids;
    std::vector<std::uint32_t> byCustomer;
    std::vector<std::uint32_t> order;
};

namespace {

// The order of `sort` over lines already in customer order, read in the caller's snapshot.
std::vector<std::uint32_t> orderOf(Database &db, InvoiceSort sort,
                                   const std::vector<std::int64_t> &rowids,
                                   const std::vector<std::uint32_t> &byCustomer)
{
    if (sort == InvoiceSort::Customer)
        return byCustomer;
    // The same snapshot version means the same lines in the same stored order.
    const ColumnRanks column = rankInvoiceColumn(db, invoiceColumnName(sortColumn(sort)), false);
    if (column.ranks.size() != rowids.size())
        throw Error(errc::kDatabaseFailure,
                    QStringLiteral("The invoice lines changed while they were being sorted"));
    return stableOrderByRank(column, byCustomer);
}

} // namespace

InvoiceList::InvoiceList(QObject *parent) : QAbstractTableModel(parent)
{
    m_cache.reserve(kCachedBlocks);
}

InvoiceList::~InvoiceList() = default;

InvoiceList::Listing InvoiceList::readListing(InvoiceSort sort)
{
    ReadTransaction snapshot(*m_db);
    Listing listing;
    listing.version = dataVersionOf(*m_db);
    ColumnRanks customers =
        rankInvoiceColumn(*m_db, invoiceColumnName(InvoiceColumn::Customer), true);
    listing.byCustomer = stableOrderByRank(customers, storedOrder(customers.ranks.size()));
    listing.rowids = std::move(customers.rowids);
    listing.order = orderOf(*m_db, sort, listing.rowids, listing.byCustomer);
    return listing;
}

void InvoiceList::open(const QString &dbPath)
{
    auto db = std::make_unique<Database>(Database::open(dbPath, Database::Mode::ReadOnly));
    auto readLine = std::make_unique<Statement>(db->prepare(readLineSql()));
    std::swap(m_db, db);
    std::swap(m_readLine, readLine);
    try {
        Listing listing = readListing(InvoiceSort::Customer);
        m_sort = InvoiceSort::Customer;
        resetTo(std::move(listing));
    } catch (...) {
        std::swap(m_readLine, readLine);
        std::swap(m_db, db);
        throw;
    }
    // The previous connection, if any, closes here, after its statement.
    readLine.reset();
}

void InvoiceList::resetTo(Listing listing)
{
    beginResetModel();
    m_version = listing.version;
    m_rowids = std::move(listing.rowids);
    m_byCustomer = std::move(listing.byCustomer);
    m_order = std::move(listing.order);
    for (auto &known : m_orders)
        known.clear();
    m_cache.clear();
    m_refreshPending = false;
    endResetModel();
}

void InvoiceList::sortBy(InvoiceSort sort)
{
    if (!m_db) {
        m_sort = sort;
        return;
    }
    if (sort == m_sort)
        return;
    std::vector<std::uint32_t> order;
    {
        ReadTransaction snapshot(*m_db);
        if (dataVersionOf(*m_db) != m_version) {
            snapshot.end();
            resetTo(readListing(sort));
            m_sort = sort;
            return;
        }
        std::vector<std::uint32_t> &known = m_orders[static_cast<std::size_t>(sort)];
        if (known.size() != m_rowids.size())
            known = orderOf(*m_db, sort, m_rowids, m_byCustomer);
        order = known;
    }
    applyOrder(std::move(order));
    m_sort = sort;
}

void InvoiceList::applyOrder(std::vector<std::uint32_t> order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    if (!before.isEmpty()) {
        std::vector<std::uint32_t> rowOf(order.size());
        for (std::size_t row = 0; row < order.size(); ++row)
            rowOf[order[row]] = static_cast<std::uint32_t>(row);
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex &index : before) {
            const std::uint32_t stored = m_order[static_cast<std::size_t>(index.row())];
            after << createIndex(static_cast<int>(rowOf[stored]), index.column());
        }
        changePersistentIndexList(before, after);
    }
    m_order = std::move(order);
    m_cache.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::int64_t InvoiceList::dataVersion() const
{
    return dataVersionOf(*m_db);
}

bool InvoiceList::refreshIfChanged()
{
    if (!m_db || dataVersion() == m_version)
        return false;
    resetTo(readListing(m_sort));
    return true;
}

void InvoiceList::scheduleRefresh() const
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    auto *self = const_cast<InvoiceList *>(this);
    QMetaObject::invokeMethod(
        self, [self] { self->refreshNow(); }, Qt::QueuedConnection);
}

void InvoiceList::refreshNow()
{
    if (!m_refreshPending || !m_db)
        return;
    try {
        resetTo(readListing(m_sort));
    } catch (const Error &error) {
        // Nothing readable to show; a later refresh tries again.
        resetTo(Listing{m_version, {}, {}, {}});
        emit refreshFailed(error.description(), error.number());
    }
}

bool InvoiceList::fetchBlock(Block &block, int first) const
{
    try {
        ReadTransaction snapshot(*m_db);
        if (dataVersion() != m_version) {
            scheduleRefresh();
            return false;
        }
        const int end = std::min(first + kBlockRows, rowCount());
        block.lines.assign(static_cast<std::size_t>(end - first), Line{});
        for (int row = first; row < end; ++row) {
            const std::size_t stored = m_order[static_cast<std::size_t>(row)];
            m_readLine->reset();
            m_readLine->bindInt64(1, m_rowids[stored]);
            if (!m_readLine->step())
                continue;
            Line &line = block.lines[static_cast<std::size_t>(row - first)];
            for (int column = 0; column < kInvoiceColumnCount; ++column)
                line.values[static_cast<std::size_t>(column)] = m_readLine->value(column);
            line.customerListId = m_readLine->value(kCustomerListIdField).toString();
        }
        m_readLine->reset();
        block.first = first;
        return true;
    } catch (const Error &) {
        m_readLine->reset();
        return false;
    }
}

const InvoiceList::Line *InvoiceList::line(int row) const
{
    if (row < 0 || row >= rowCount() || !m_db)
        return nullptr;
    const int first = row - row % kBlockRows;
    const auto cached = std::find_if(m_cache.begin(), m_cache.end(),
                                     [first](const Block &block) { return block.first == first; });
    Block *block = cached != m_cache.end() ? &*cached : nullptr;
    if (!block) {
        if (m_refreshPending)
            return nullptr;
        if (m_cache.size() < kCachedBlocks) {
            block = &m_cache.emplace_back();
        } else {
            block = &*std::min_element(
                m_cache.begin(), m_cache.end(),
                [](const Block &a, const Block &b) { return a.lastUse < b.lastUse; });
        }
        block->first = -1;
        if (!fetchBlock(*block, first))
            return nullptr;
    }
    block->lastUse = ++m_useClock;
    return &block->lines[static_cast<std::size_t>(row - first)];
}

InvoiceKey InvoiceList::invoiceAt(int row) const
{
    const Line *found = line(row);
    if (!found)
        return {};
    return {found->customerListId,
            found->values[static_cast<std::size_t>(InvoiceColumn::InvNo)].toString()};
}

int InvoiceList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int InvoiceList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kInvoiceColumnCount;
}

QVariant InvoiceList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto column = static_cast<InvoiceColumn>(index.column());
    const Shown shown = shownAs(column);
    if (role == Qt::TextAlignmentRole) {
        const bool number = shown == Shown::Standard || shown == Shown::Number;
        return static_cast<int>((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole)
        return {};
    const Line *found = line(index.row());
    if (!found)
        return {};
    const QVariant &value = found->values[static_cast<std::size_t>(index.column())];
    if (value.isNull())
        return {};
    switch (shown) {
    case Shown::Date: return generalDateText(value.toDateTime());
    case Shown::Standard: return standardNumberText(value.toDouble());
    case Shown::Number: return generalNumberText(value.toDouble());
    case Shown::Text: break;
    }
    return value.toString();
}

QVariant InvoiceList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kInvoiceColumnCount)
        return {};
    return invoiceColumnName(static_cast<InvoiceColumn>(section));
}

Qt::ItemFlags InvoiceList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace corvina
