#pragma once

#include <QString>
#include <QVariant>

namespace corvina {

// The item the non-buyer and non-seller lists are about: its name, as shown, titled and
// saved, and its ListID, which the invoice lines are matched on. A sub-item's lines carry
// its full name ("Hardware:Deadbolt") while the item list holds its own name ("Deadbolt"),
// and two items may share a name, so the name alone would miss or mix up buyers. An item
// without a ListID is matched on its name.
struct ChosenItem {
    ChosenItem() = default;
    // Not explicit: a name alone is an item matched on its name.
    ChosenItem(QString itemName, QString itemListId = {})
        : name(std::move(itemName)), listId(std::move(itemListId))
    {
    }

    // The condition on Invoices, with one parameter: invoiceValue().
    QString invoiceCondition() const
    {
        return listId.isEmpty() ? QStringLiteral("ItemRef = ?") : QStringLiteral("ItemRefID = ?");
    }
    QVariant invoiceValue() const { return listId.isEmpty() ? name : listId; }

    bool operator==(const ChosenItem &) const = default;

    QString name;
    QString listId;
};

} // namespace corvina
