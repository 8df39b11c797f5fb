// The content models of the supported queries: each request element of the document checked
// against its query's model and read into a Query, and a Query described for the log.

#include "qbsim/QueryRequest.h"

#include <initializer_list>

namespace corvina::qbsim {

using namespace Qt::Literals::StringLiterals;

namespace {

enum class Occurs { Optional, Required, OneOrMore };

struct Particle {
    QStringView name;
    Occurs occurs;
};
using Sequence = std::initializer_list<Particle>;

QString describe(const Node &node)
{
    return u"<%1> (line %2)"_s.arg(node.name, QString::number(node.line));
}

// The text of a simple element; refuses an element with children.
QString leafText(const Node &node)
{
    if (!node.children.empty())
        refuse(u"%1 must not contain <%2>."_s.arg(describe(node), node.children.front().name));
    return node.text.trimmed();
}

void requireNoText(const Node &node)
{
    if (!node.text.trimmed().isEmpty())
        refuse(u"%1 holds text \"%2\"."_s.arg(describe(node), node.text.trimmed()));
}

bool matchesSequence(const Node &node, Sequence sequence)
{
    std::size_t pos = 0;
    const auto &children = node.children;
    for (const Particle &particle : sequence) {
        std::size_t count = 0;
        while (pos < children.size() && children[pos].name == particle.name) {
            ++pos;
            ++count;
            if (particle.occurs != Occurs::OneOrMore)
                break;
        }
        if (count == 0 && particle.occurs != Occurs::Optional)
            return false;
    }
    return pos == children.size();
}

// Checks a filter element whose children are simple elements in one of `alternatives`.
void expectContent(const Node &node, std::initializer_list<Sequence> alternatives)
{
    requireNoText(node);
    for (const Node &child : node.children)
        leafText(child);
    for (const Sequence &sequence : alternatives) {
        if (matchesSequence(node, sequence))
            return;
    }
    refuse(u"the content of %1 is not valid."_s.arg(describe(node)));
}

// Walks the children of a request element in order.
class Children {
public:
    explicit Children(const Node &parent) : m_parent(parent) {}

    bool next(QStringView name) const
    {
        return m_pos < m_parent.children.size() && m_parent.children[m_pos].name == name;
    }
    const Node *optional(QStringView name)
    {
        return next(name) ? &m_parent.children[m_pos++] : nullptr;
    }
    QStringList texts(QStringView name)
    {
        QStringList values;
        while (const Node *node = optional(name))
            values.append(leafText(*node));
        return values;
    }
    void expectEnd() const
    {
        if (m_pos < m_parent.children.size())
            refuse(u"%1 is not expected in %2 at this place."_s.arg(
                describe(m_parent.children[m_pos]), describe(m_parent)));
    }

private:
    const Node &m_parent;
    std::size_t m_pos = 0;
};

qsizetype parseMaxReturned(const Node &node)
{
    bool ok = false;
    const qlonglong value = leafText(node).toLongLong(&ok);
    if (!ok || value < 0)
        refuse(u"%1 is not a count."_s.arg(describe(node)));
    return static_cast<qsizetype>(value);
}

ActiveStatus parseActiveStatus(const Node &node)
{
    const QString text = leafText(node);
    if (text == u"ActiveOnly")
        return ActiveStatus::ActiveOnly;
    if (text == u"InactiveOnly")
        return ActiveStatus::InactiveOnly;
    if (text == u"All")
        return ActiveStatus::All;
    refuse(u"%1 has the unknown value \"%2\"."_s.arg(describe(node), text));
}

const Sequence kNameFilter = {{u"MatchCriterion", Occurs::Required}, {u"Name", Occurs::Required}};
const Sequence kNameRange = {{u"FromName", Occurs::Optional}, {u"ToName", Occurs::Optional}};
const Sequence kTxnDates = {{u"FromTxnDate", Occurs::Optional}, {u"ToTxnDate", Occurs::Optional}};
const Sequence kDateMacro = {{u"DateMacro", Occurs::Required}};
const Sequence kRefNumberFilter = {{u"MatchCriterion", Occurs::Required},
                                   {u"RefNumber", Occurs::Required}};
const Sequence kRefNumberRange = {{u"FromRefNumber", Occurs::Optional},
                                  {u"ToRefNumber", Occurs::Optional}};
const Sequence kBalanceFilter = {{u"Operator", Occurs::Required}, {u"Amount", Occurs::Required}};
const Sequence kByListId = {{u"ListID", Occurs::OneOrMore}};
const Sequence kByFullName = {{u"FullName", Occurs::OneOrMore}};
const Sequence kByListIdWithChildren = {{u"ListIDWithChildren", Occurs::Required}};
const Sequence kByFullNameWithChildren = {{u"FullNameWithChildren", Occurs::Required}};

// Consumes an optional filter that the stand-in does not implement.
void unsupportedFilter(Children &children, Query &query, QStringView name,
                       std::initializer_list<Sequence> alternatives)
{
    if (const Node *node = children.optional(name)) {
        expectContent(*node, alternatives);
        query.unsupported = true;
    }
}

void unsupportedLeaf(Children &children, Query &query, QStringView name)
{
    if (const Node *node = children.optional(name)) {
        leafText(*node);
        query.unsupported = true;
    }
}

void readOwnerIds(Children &children, Query &query)
{
    if (!children.texts(u"OwnerID").isEmpty())
        query.unsupported = true; // the stand-in does not select custom fields by owner
}

// The text of an optional simple element; an empty one counts as absent.
std::optional<QString> optionalText(Children &children, QStringView name)
{
    if (const Node *node = children.optional(name)) {
        QString text = leafText(*node);
        if (!text.isEmpty())
            return text;
    }
    return std::nullopt;
}

// Reads a filter of two optional simple elements (from, to) into `from` and `to`.
void readRange(const Node &filter, QStringView fromName, QStringView toName,
               std::optional<QString> &from, std::optional<QString> &to)
{
    expectContent(filter, {{{fromName, Occurs::Optional}, {toName, Occurs::Optional}}});
    Children children(filter);
    from = optionalText(children, fromName);
    to = optionalText(children, toName);
}

void readListQuery(const Node &request, Query &query)
{
    Children children(request);
    if (children.next(u"ListID")) {
        query.ids = children.texts(u"ListID");
    } else if (children.next(u"FullName")) {
        query.names = children.texts(u"FullName");
    } else {
        if (const Node *node = children.optional(u"MaxReturned"))
            query.maxReturned = parseMaxReturned(*node);
        if (const Node *node = children.optional(u"ActiveStatus"))
            query.active = parseActiveStatus(*node);
        query.fromModified = optionalText(children, u"FromModifiedDate");
        query.toModified = optionalText(children, u"ToModifiedDate");
        if (children.next(u"NameFilter"))
            unsupportedFilter(children, query, u"NameFilter", {kNameFilter});
        else
            unsupportedFilter(children, query, u"NameRangeFilter", {kNameRange});
        if (query.kind == QueryKind::Customer)
            unsupportedFilter(children, query, u"TotalBalanceFilter", {kBalanceFilter});
    }
    if (query.kind != QueryKind::SalesRep)
        readOwnerIds(children, query);
    children.expectEnd();
}

void readTxnDateRange(const Node &filter, Query &query)
{
    expectContent(filter, {kTxnDates, kDateMacro});
    for (const Node &child : filter.children) {
        const QString text = leafText(child);
        if (child.name == u"DateMacro")
            query.unsupported = true;
        else if (text.isEmpty())
            continue; // an empty date leaves that side open
        else if (child.name == u"FromTxnDate")
            query.fromDate = text;
        else
            query.toDate = text;
    }
}

void readInvoiceQuery(const Node &request, Query &query)
{
    Children children(request);
    if (children.next(u"TxnID")) {
        query.ids = children.texts(u"TxnID");
    } else if (children.next(u"RefNumber")) {
        query.names = children.texts(u"RefNumber");
    } else {
        if (const Node *node = children.optional(u"MaxReturned"))
            query.maxReturned = parseMaxReturned(*node);
        if (const Node *modified = children.optional(u"ModifiedDateRangeFilter"))
            readRange(*modified, u"FromModifiedDate", u"ToModifiedDate", query.fromModified,
                      query.toModified);
        else if (const Node *dates = children.optional(u"TxnDateRangeFilter"))
            readTxnDateRange(*dates, query);
        const std::initializer_list<Sequence> byRef = {
            kByListId, kByFullName, kByListIdWithChildren, kByFullNameWithChildren};
        unsupportedFilter(children, query, u"EntityFilter", byRef);
        unsupportedFilter(children, query, u"AccountFilter", byRef);
        if (children.next(u"RefNumberFilter"))
            unsupportedFilter(children, query, u"RefNumberFilter", {kRefNumberFilter});
        else
            unsupportedFilter(children, query, u"RefNumberRangeFilter", {kRefNumberRange});
        unsupportedLeaf(children, query, u"PaidStatus");
    }
    if (const Node *node = children.optional(u"IncludeLineItems"))
        query.includeLineItems = leafText(*node);
    if (const Node *node = children.optional(u"IncludeLinkedTxns"))
        query.includeLinkedTxns = leafText(*node);
    readOwnerIds(children, query);
    children.expectEnd();
}

// The deletion kinds QuickBooks names in TxnDelType and ListDelType.
const QStringList kTxnDelTypes = {u"ARRefundCreditCard"_s,
                                  u"Bill"_s,
                                  u"BillPaymentCheck"_s,
                                  u"BillPaymentCreditCard"_s,
                                  u"BuildAssembly"_s,
                                  u"Charge"_s,
                                  u"Check"_s,
                                  u"CreditCardCharge"_s,
                                  u"CreditCardCredit"_s,
                                  u"CreditMemo"_s,
                                  u"Deposit"_s,
                                  u"Estimate"_s,
                                  u"InventoryAdjustment"_s,
                                  u"Invoice"_s,
                                  u"ItemReceipt"_s,
                                  u"JournalEntry"_s,
                                  u"PayrollLiabilityAdjustment"_s,
                                  u"PayrollPriorPayment"_s,
                                  u"PayrollYearToDateAdjustment"_s,
                                  u"PurchaseOrder"_s,
                                  u"ReceivePayment"_s,
                                  u"SalesOrder"_s,
                                  u"SalesReceipt"_s,
                                  u"SalesTaxPaymentCheck"_s,
                                  u"TimeTracking"_s,
                                  u"TransferInventory"_s,
                                  u"VehicleMileage"_s,
                                  u"VendorCredit"_s};
const QStringList kListDelTypes = {u"Account"_s,
                                   u"BillingRate"_s,
                                   u"Class"_s,
                                   u"Currency"_s,
                                   u"Customer"_s,
                                   u"CustomerMsg"_s,
                                   u"CustomerType"_s,
                                   u"DateDrivenTerms"_s,
                                   u"Employee"_s,
                                   u"InventorySite"_s,
                                   u"ItemDiscount"_s,
                                   u"ItemFixedAsset"_s,
                                   u"ItemGroup"_s,
                                   u"ItemInventory"_s,
                                   u"ItemInventoryAssembly"_s,
                                   u"ItemNonInventory"_s,
                                   u"ItemOtherCharge"_s,
                                   u"ItemPayment"_s,
                                   u"ItemSalesTax"_s,
                                   u"ItemSalesTaxGroup"_s,
                                   u"ItemService"_s,
                                   u"ItemSubtotal"_s,
                                   u"JobType"_s,
                                   u"OtherName"_s,
                                   u"PaymentMethod"_s,
                                   u"PayrollItemNonWage"_s,
                                   u"PayrollItemWage"_s,
                                   u"PriceLevel"_s,
                                   u"SalesRep"_s,
                                   u"SalesTaxCode"_s,
                                   u"ShipMethod"_s,
                                   u"StandardTerms"_s,
                                   u"ToDo"_s,
                                   u"UnitOfMeasureSet"_s,
                                   u"Vehicle"_s,
                                   u"Vendor"_s,
                                   u"VendorType"_s,
                                   u"WorkersCompCode"_s};

// TxnDeletedQueryRq and ListDeletedQueryRq: the kinds (one or more), then an optional
// DeletedDateRangeFilter.
void readDeletedQuery(const Node &request, Query &query)
{
    const bool txn = query.kind == QueryKind::TxnDeleted;
    const QStringView typeName = txn ? u"TxnDelType" : u"ListDelType";
    const QStringList &known = txn ? kTxnDelTypes : kListDelTypes;
    Children children(request);
    query.delTypes = children.texts(typeName);
    if (query.delTypes.isEmpty())
        refuse(u"%1 needs a <%2>."_s.arg(describe(request), typeName));
    for (const QString &type : std::as_const(query.delTypes)) {
        if (!known.contains(type))
            refuse(u"%1 has the unknown %2 \"%3\"."_s.arg(describe(request), typeName, type));
    }
    if (const Node *node = children.optional(u"DeletedDateRangeFilter"))
        readRange(*node, u"FromDeletedDate", u"ToDeletedDate", query.fromDeleted, query.toDeleted);
    children.expectEnd();
}

QueryKind kindOf(QStringView requestName)
{
    if (requestName == u"CustomerQueryRq")
        return QueryKind::Customer;
    if (requestName == u"ItemQueryRq")
        return QueryKind::Item;
    if (requestName == u"SalesRepQueryRq")
        return QueryKind::SalesRep;
    if (requestName == u"InvoiceQueryRq")
        return QueryKind::Invoice;
    if (requestName == u"TxnDeletedQueryRq")
        return QueryKind::TxnDeleted;
    if (requestName == u"ListDeletedQueryRq")
        return QueryKind::ListDeleted;
    if (requestName == u"HostQueryRq")
        return QueryKind::Host;
    return QueryKind::Other;
}

// The iterator attributes, which the customer, item and invoice queries take from 5.0 on.
void readIterator(const Node &request, Query &query)
{
    const QStringView use = request.attributes.value(QLatin1StringView("iterator"));
    const bool hasId = request.attributes.hasAttribute(QLatin1StringView("iteratorID"));
    if (use.isEmpty() && !request.attributes.hasAttribute(QLatin1StringView("iterator"))) {
        if (hasId)
            refuse(u"%1 has an iteratorID but no iterator."_s.arg(describe(request)));
        return;
    }
    if (use == u"Start")
        query.iterator = IteratorUse::Start;
    else if (use == u"Continue")
        query.iterator = IteratorUse::Continue;
    else if (use == u"Stop")
        query.iterator = IteratorUse::Stop;
    else
        refuse(u"%1 has the unknown iterator value \"%2\"."_s.arg(describe(request), use));
    query.iteratorId = request.attributes.value(QLatin1StringView("iteratorID")).toString();
    if (query.iterator != IteratorUse::Start && query.iteratorId.isEmpty())
        refuse(
            u"%1 continues or stops an iterator without its iteratorID."_s.arg(describe(request)));
}

void readHostQuery(const Node &request, const QVersionNumber &version)
{
    Children children(request);
    if (version >= QVersionNumber(6, 0)) {
        if (const Node *node = children.optional(u"IncludeListMetaData"))
            expectContent(*node, {{{u"IncludeMaxCapacity", Occurs::Required}}});
    }
    if (version >= QVersionNumber(4, 0))
        children.texts(u"IncludeRetElement");
    children.expectEnd();
}
} // namespace

Query readQuery(const Node &request, const QVersionNumber &version)
{
    Query query;
    query.kind = kindOf(request.name);
    query.responseName = request.name.chopped(2) + u"Rs"_s;
    if (request.attributes.hasAttribute(QLatin1StringView("requestID")))
        query.requestId = request.attributes.value(QLatin1StringView("requestID")).toString();
    if (query.kind == QueryKind::Other)
        return query; // answered as unsupported, whatever it holds
    const bool iterates = version >= QVersionNumber(5, 0) &&
                          (query.kind == QueryKind::Customer || query.kind == QueryKind::Item ||
                           query.kind == QueryKind::Invoice);
    for (const QXmlStreamAttribute &attribute : request.attributes) {
        const QStringView name = attribute.qualifiedName();
        if (name != u"requestID" && !(iterates && (name == u"iterator" || name == u"iteratorID")))
            refuse(u"%1 has an unknown attribute %2."_s.arg(describe(request), name));
    }
    requireNoText(request);
    if (iterates)
        readIterator(request, query);
    if (query.kind == QueryKind::Host) {
        readHostQuery(request, version);
        return query;
    }
    if (query.kind == QueryKind::Invoice)
        readInvoiceQuery(request, query);
    else if (query.kind == QueryKind::TxnDeleted || query.kind == QueryKind::ListDeleted)
        readDeletedQuery(request, query);
    else
        readListQuery(request, query);
    return query;
}

QString describeQuery(const Query &query)
{
    QStringList parts{query.responseName.chopped(2) + u"Rq"_s};
    const auto add = [&parts](QStringView name, const std::optional<QString> &value) {
        if (value)
            parts.append(name.toString() + u'=' + *value);
    };
    if (query.requestId)
        parts.append(u"requestID="_s + *query.requestId);
    switch (query.iterator) {
    case IteratorUse::None: break;
    case IteratorUse::Start: parts.append(u"iterator=Start"_s); break;
    case IteratorUse::Continue: parts.append(u"iterator=Continue"_s); break;
    case IteratorUse::Stop: parts.append(u"iterator=Stop"_s); break;
    }
    if (!query.ids.isEmpty())
        parts.append(u"ids=%1"_s.arg(query.ids.size()));
    if (!query.names.isEmpty())
        parts.append(u"names=%1"_s.arg(query.names.size()));
    if (query.maxReturned)
        parts.append(u"MaxReturned=%1"_s.arg(*query.maxReturned));
    if (query.kind == QueryKind::Customer || query.kind == QueryKind::Item ||
        query.kind == QueryKind::SalesRep) {
        static const char16_t *const statuses[] = {u"ActiveOnly", u"InactiveOnly", u"All"};
        if (query.ids.isEmpty() && query.names.isEmpty())
            parts.append(u"ActiveStatus="_s +
                         QString::fromUtf16(statuses[static_cast<int>(query.active)]));
    }
    if (!query.delTypes.isEmpty())
        parts.append(u"types="_s + query.delTypes.join(u','));
    add(u"FromTxnDate", query.fromDate);
    add(u"ToTxnDate", query.toDate);
    add(u"FromModifiedDate", query.fromModified);
    add(u"ToModifiedDate", query.toModified);
    add(u"FromDeletedDate", query.fromDeleted);
    add(u"ToDeletedDate", query.toDeleted);
    add(u"IncludeLineItems", query.includeLineItems);
    add(u"IncludeLinkedTxns", query.includeLinkedTxns);
    if (query.unsupported)
        parts.append(u"(unsupported filter)"_s);
    return parts.join(u' ');
}

} // namespace corvina::qbsim
