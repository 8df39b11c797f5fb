// The company generator's data: items of every kind, amounts that add up, references that
// resolve, and awkward names that survive being written and read back.

#include "GeneratedCompany.h"

using namespace corvina::qbsim;
using namespace corvina::qbsim::test;
using namespace Qt::Literals::StringLiterals;

namespace {

TEST_F(GeneratedCompany, ItemsOfEveryKindComeGroupedInSchemaOrder)
{
    const QStringList kinds = {u"ItemServiceRet"_s,
                               u"ItemNonInventoryRet"_s,
                               u"ItemOtherChargeRet"_s,
                               u"ItemInventoryRet"_s,
                               u"ItemInventoryAssemblyRet"_s,
                               u"ItemSubtotalRet"_s,
                               u"ItemDiscountRet"_s,
                               u"ItemPaymentRet"_s,
                               u"ItemSalesTaxRet"_s,
                               u"ItemSalesTaxGroupRet"_s,
                               u"ItemGroupRet"_s};
    qsizetype previous = 0;
    QSet<QString> present;
    int inactive = 0, subItems = 0;
    for (const Node &item : items().children) {
        const qsizetype kind = kinds.indexOf(item.name);
        ASSERT_GE(kind, previous) << item.name.toStdString() << " after "
                                  << kinds[previous].toStdString();
        previous = kind;
        present.insert(item.name);
        inactive += item.value(u"IsActive") == u"false" ? 1 : 0;
        if (item.child(u"ParentRef")) {
            ++subItems;
            EXPECT_EQ(item.value(u"Sublevel"), u"1");
            EXPECT_EQ(item.value(u"FullName"),
                      item.refName(u"ParentRef") + u':' + item.value(u"Name"));
        }
    }
    EXPECT_EQ(present.size(), kinds.size());
    EXPECT_GT(inactive, 0);
    EXPECT_GT(subItems, 0);
    // Both sales forms, prices and percentages, and items without a description.
    QSet<QString> salesParts;
    for (const Node &item : items().children) {
        for (const QString &form : {u"SalesOrPurchase"_s, u"SalesAndPurchase"_s}) {
            if (const Node *part = item.child(form)) {
                for (const Node &c : part->children)
                    salesParts.insert(form + u'/' + c.name);
                if (!part->child(u"Desc") && !part->child(u"SalesDesc"))
                    salesParts.insert(form + u"/no description"_s);
            }
        }
    }
    for (const QString &part :
         {u"SalesOrPurchase/Price"_s, u"SalesOrPurchase/PricePercent"_s,
          u"SalesOrPurchase/no description"_s, u"SalesAndPurchase/SalesDesc"_s,
          u"SalesAndPurchase/PurchaseCost"_s})
        EXPECT_TRUE(salesParts.contains(part)) << part.toStdString();
}

TEST_F(GeneratedCompany, InvoiceAmountsAddUp)
{
    int percentLines = 0, subtotalLines = 0;
    for (const Node *invoice : invoices().all(u"InvoiceRet")) {
        SCOPED_TRACE(invoice->value(u"RefNumber").toStdString());
        qint64 sum = 0, sinceSubtotal = 0, previous = 0;
        for (const Node &entry : invoice->children) {
            qint64 amount = 0;
            if (entry.name == u"InvoiceLineGroupRet") {
                qint64 members = 0;
                for (const Node *member : entry.all(u"InvoiceLineRet")) {
                    const qint64 line = hundredths(member->value(u"Amount"));
                    EXPECT_EQ(line, roundedDiv(hundredths(member->value(u"Quantity")) *
                                                   hundredths(member->value(u"Rate")),
                                               100));
                    members += line;
                }
                amount = hundredths(entry.value(u"TotalAmount"));
                EXPECT_EQ(amount, members);
            } else if (entry.name != u"InvoiceLineRet" || !entry.child(u"Amount")) {
                continue;
            } else if (entry.refName(u"ItemRef") == u"Subtotal") {
                EXPECT_EQ(hundredths(entry.value(u"Amount")), sinceSubtotal);
                previous = sinceSubtotal;
                sinceSubtotal = 0;
                ++subtotalLines;
                continue;
            } else if (entry.child(u"RatePercent")) {
                amount = hundredths(entry.value(u"Amount"));
                EXPECT_EQ(amount,
                          roundedDiv(previous * hundredths(entry.value(u"RatePercent")), 10000));
                ++percentLines;
            } else {
                amount = hundredths(entry.value(u"Amount"));
                EXPECT_EQ(amount, roundedDiv(hundredths(entry.value(u"Quantity")) *
                                                 hundredths(entry.value(u"Rate")),
                                             100));
            }
            sum += amount;
            sinceSubtotal += amount;
            previous = amount;
        }
        EXPECT_EQ(hundredths(invoice->value(u"Subtotal")), sum);

        qint64 taxable = 0;
        for (const Node *line : pricedLines(*invoice)) {
            if (line->refName(u"SalesTaxCodeRef") == u"Tax")
                taxable += hundredths(line->value(u"Amount"));
        }
        const qint64 tax =
            invoice->refName(u"CustomerSalesTaxCodeRef") == u"Non"
                ? 0
                : roundedDiv(taxable * hundredths(invoice->value(u"SalesTaxPercentage")), 10000);
        EXPECT_EQ(hundredths(invoice->value(u"SalesTaxTotal")), tax);
        const qint64 applied = hundredths(invoice->value(u"AppliedAmount"));
        const qint64 balance = hundredths(invoice->value(u"BalanceRemaining"));
        EXPECT_EQ(balance, sum + tax + applied);
        EXPECT_EQ(invoice->value(u"IsPaid"), balance == 0 ? u"true" : u"false");
        qint64 linked = 0;
        for (const Node *payment : invoice->all(u"LinkedTxn"))
            linked += hundredths(payment->value(u"Amount"));
        EXPECT_EQ(linked, applied);
    }
    EXPECT_GT(percentLines, 0);
    EXPECT_GT(subtotalLines, 0);
}

TEST_F(GeneratedCompany, ReferencesNameRecordsInTheFile)
{
    QHash<QString, const Node *> itemsById, customersById;
    QHash<QString, QString> repInitials;
    QSet<QString> ids, names;
    for (const Node &item : items().children) {
        EXPECT_FALSE(itemsById.contains(item.value(u"ListID")));
        itemsById.insert(item.value(u"ListID"), &item);
    }
    for (const Node *c : customers().all(u"CustomerRet")) {
        EXPECT_FALSE(customersById.contains(c->value(u"ListID")));
        customersById.insert(c->value(u"ListID"), c);
        EXPECT_FALSE(names.contains(c->value(u"FullName").toCaseFolded()))
            << c->value(u"FullName").toStdString();
        names.insert(c->value(u"FullName").toCaseFolded());
    }
    for (const Node *rep : reps().all(u"SalesRepRet"))
        repInitials.insert(rep->value(u"ListID"), rep->value(u"Initial"));

    const auto itemNamed = [&](const Node &owner, QStringView ref) {
        const Node *item = itemsById.value(owner.refId(ref));
        EXPECT_TRUE(item) << ref.toString().toStdString() << " " << owner.refId(ref).toStdString();
        if (item) {
            const QString name =
                item->child(u"FullName") ? item->value(u"FullName") : item->value(u"Name");
            EXPECT_EQ(owner.refName(ref), name);
        }
        return item;
    };
    for (const Node &item : items().children) {
        if (item.child(u"ParentRef"))
            itemNamed(item, u"ParentRef");
        for (const QString &part : {u"ItemGroupLine"_s, u"ItemInventoryAssemblyLine"_s}) {
            for (const Node *line : item.all(part))
                itemNamed(*line, part == u"ItemGroupLine" ? u"ItemRef" : u"ItemInventoryRef");
        }
        for (const Node *tax : item.all(u"ItemSalesTaxRef"))
            EXPECT_TRUE(itemsById.contains(tax->value(u"ListID")));
    }
    for (const Node *c : customers().all(u"CustomerRet")) {
        if (const Node *parent = customersById.value(c->refId(u"ParentRef"))) {
            EXPECT_FALSE(parent->child(u"ParentRef")) << "a job's parent is a top-level customer";
            EXPECT_EQ(c->value(u"FullName"), parent->value(u"FullName") + u':' + c->value(u"Name"));
            EXPECT_EQ(c->value(u"Sublevel"), u"1");
        } else {
            EXPECT_FALSE(c->child(u"ParentRef"));
            EXPECT_EQ(c->value(u"FullName"), c->value(u"Name"));
        }
        if (c->child(u"SalesRepRef")) {
            EXPECT_EQ(repInitials.value(c->refId(u"SalesRepRef")), c->refName(u"SalesRepRef"));
        }
        if (c->child(u"ItemSalesTaxRef"))
            itemNamed(*c, u"ItemSalesTaxRef");
    }
    for (const Node *invoice : invoices().all(u"InvoiceRet")) {
        EXPECT_TRUE(!ids.contains(invoice->value(u"TxnID")));
        ids.insert(invoice->value(u"TxnID"));
        const Node *customer = customersById.value(invoice->refId(u"CustomerRef"));
        ASSERT_TRUE(customer);
        EXPECT_EQ(invoice->refName(u"CustomerRef"), customer->value(u"FullName"));
        if (invoice->child(u"SalesRepRef")) {
            EXPECT_EQ(repInitials.value(invoice->refId(u"SalesRepRef")),
                      invoice->refName(u"SalesRepRef"));
        }
        for (const Node &entry : invoice->children) {
            if (entry.name == u"InvoiceLineGroupRet") {
                const Node *group = itemNamed(entry, u"ItemGroupRef");
                const std::vector<const Node *> parts =
                    group ? group->all(u"ItemGroupLine") : std::vector<const Node *>{};
                const std::vector<const Node *> members = entry.all(u"InvoiceLineRet");
                ASSERT_EQ(members.size(), parts.size());
                for (std::size_t i = 0; i < parts.size(); ++i) {
                    EXPECT_EQ(members[i]->refId(u"ItemRef"), parts[i]->refId(u"ItemRef"));
                    EXPECT_EQ(hundredths(members[i]->value(u"Quantity")),
                              hundredths(parts[i]->value(u"Quantity")) *
                                  hundredths(entry.value(u"Quantity")) / 100);
                }
            }
        }
        for (const Node *line : pricedLines(*invoice)) {
            EXPECT_FALSE(ids.contains(line->value(u"TxnLineID")));
            ids.insert(line->value(u"TxnLineID"));
            if (line->child(u"ItemRef"))
                itemNamed(*line, u"ItemRef");
        }
    }
}

TEST_F(GeneratedCompany, CustomerBalancesAreTheirOpenInvoices)
{
    QHash<QString, qint64> open;
    for (const Node *invoice : invoices().all(u"InvoiceRet"))
        open[invoice->refId(u"CustomerRef")] += hundredths(invoice->value(u"BalanceRemaining"));
    QHash<QString, qint64> total = open;
    for (const Node *c : customers().all(u"CustomerRet")) {
        if (c->child(u"ParentRef"))
            total[c->refId(u"ParentRef")] += open.value(c->value(u"ListID"));
    }
    for (const Node *c : customers().all(u"CustomerRet")) {
        EXPECT_EQ(hundredths(c->value(u"Balance")), open.value(c->value(u"ListID")));
        EXPECT_EQ(hundredths(c->value(u"TotalBalance")), total.value(c->value(u"ListID")));
    }
}

TEST_F(GeneratedCompany, InvoicesRunInDateOrderOverFourYears)
{
    const GeneratorOptions defaults;
    const QDate first = defaults.lastDate.addYears(-4);
    QDate previousDate = first;
    qint64 previousRef = 0;
    int lines = 0, groups = 0, notes = 0;
    const std::vector<const Node *> all = invoices().all(u"InvoiceRet");
    for (const Node *invoice : all) {
        const QDate date = QDate::fromString(invoice->value(u"TxnDate"), Qt::ISODate);
        EXPECT_GE(date, previousDate);
        EXPECT_LE(date, defaults.lastDate);
        EXPECT_GE(QDate::fromString(invoice->value(u"DueDate"), Qt::ISODate), date);
        previousDate = date;
        EXPECT_GT(invoice->value(u"RefNumber").toLongLong(), previousRef);
        previousRef = invoice->value(u"RefNumber").toLongLong();
        const auto count =
            invoice->all(u"InvoiceLineRet").size() + invoice->all(u"InvoiceLineGroupRet").size();
        EXPECT_GE(count, 1u);
        EXPECT_LE(count, 8u);
        lines += int(count);
        groups += invoice->all(u"InvoiceLineGroupRet").empty() ? 0 : 1;
        for (const Node *line : invoice->all(u"InvoiceLineRet"))
            notes += line->child(u"ItemRef") || line->child(u"Quantity") ? 0 : 1;
    }
    EXPECT_LT(QDate::fromString(all.front()->value(u"TxnDate"), Qt::ISODate), first.addDays(10));
    EXPECT_GT(QDate::fromString(all.back()->value(u"TxnDate"), Qt::ISODate),
              defaults.lastDate.addDays(-10));
    const double average = double(lines) / double(all.size());
    EXPECT_GT(average, 2.6);
    EXPECT_LT(average, 3.5);
    EXPECT_GT(groups, kInvoices / 50);
    EXPECT_LT(groups, kInvoices / 10);
    EXPECT_GT(notes, 0);
}

TEST_F(GeneratedCompany, CustomersVaryLikeARealList)
{
    int inactive = 0, withJobs = 0, noAddress = 0, cityOnly = 0, fullAddress = 0, noPhone = 0;
    QSet<QString> parents;
    const std::vector<const Node *> all = customers().all(u"CustomerRet");
    for (const Node *c : all) {
        inactive += c->value(u"IsActive") == u"false" ? 1 : 0;
        if (c->child(u"ParentRef"))
            parents.insert(c->refId(u"ParentRef"));
        noAddress += !c->child(u"BillAddress") && !c->child(u"ShipAddress") ? 1 : 0;
        if (const Node *bill = c->child(u"BillAddress")) {
            cityOnly += !bill->child(u"Addr2") && !bill->child(u"PostalCode") ? 1 : 0;
            fullAddress += bill->child(u"Addr4") && bill->child(u"PostalCode") ? 1 : 0;
        }
        noPhone += c->child(u"Phone") ? 0 : 1;
    }
    withJobs = int(parents.size());
    EXPECT_GT(inactive, 0);
    EXPECT_LT(inactive, int(all.size()) / 6);
    EXPECT_GT(withJobs, kCustomers / 12);
    EXPECT_LT(withJobs, kCustomers / 3);
    EXPECT_GT(noAddress, 0);
    EXPECT_GT(cityOnly, 0);
    EXPECT_GT(fullAddress, 0);
    EXPECT_GT(noPhone, 0);
}

TEST_F(GeneratedCompany, AwkwardNamesSurviveTheRoundTrip)
{
    QStringList names;
    for (const Node *c : customers().all(u"CustomerRet"))
        names << c->value(u"Name");
    const auto any = [&](const auto &predicate) {
        return std::any_of(names.cbegin(), names.cend(), predicate);
    };
    for (const QString &fixed : {u"O'Brien Plumbing"_s, u"Smith & Sons Hardware"_s,
                                 u"Müller Precision Tools"_s, u"Ñandú Café"_s})
        EXPECT_TRUE(names.contains(fixed)) << fixed.toStdString();
    for (const QChar c : {u'%', u'_', u'*', u'['})
        EXPECT_TRUE(any([c](const QString &n) { return n.contains(c); })) << char(c.unicode());
    EXPECT_TRUE(any([](const QString &n) {
        return std::any_of(n.cbegin(), n.cend(), [](QChar c) { return c.unicode() > 0xFF; });
    })) << "a letter outside Latin-1";
    EXPECT_TRUE(s_bytes->contains("Smith &amp; Sons Hardware"));
    EXPECT_TRUE(s_bytes->contains("M\xC3\xBCller Precision Tools")); // UTF-8, not an entity
}

TEST_F(GeneratedCompany, LoadsAsACompanyFile)
{
    QBuffer buffer(s_bytes);
    buffer.open(QIODevice::ReadOnly);
    const CompanyFile company = CompanyFile::read(buffer, u"generated.qbxml"_s);
    EXPECT_EQ(company.customers().size(), customers().all(u"CustomerRet").size());
    EXPECT_EQ(company.invoices().size(), std::size_t(kInvoices));
    EXPECT_EQ(company.items().size(), items().children.size());
    EXPECT_EQ(company.salesReps().size(), reps().all(u"SalesRepRet").size());
}

} // namespace
