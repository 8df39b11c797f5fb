#pragma once

#include <QString>
#include <QStringList>

namespace corvina {

class Database;

// Item kinds as the exclusion dialog lists them and as ItemTypes.adtg remembers them.
//
// Items.Type holds a kind as "Item" + kind + "Ret" (ItemServiceRet); the short form is the
// kind alone (Service). A stored type too short to carry both words is listed as it is.
QString itemKindShortForm(const QString &storedType);
// The stored form of a kind: "Item" + kind + "Ret".
QString itemKindStoredForm(const QString &kind);

// The kinds present in Items, one entry per distinct Type in grouped order, in short form.
// Items without a Type name no kind and are not listed.
QStringList listItemKinds(Database &db);

// The excluded kinds kept in ItemTypes.adtg (created empty when missing), in stored order.
QStringList readExcludedKinds(const QString &appFolder);
// The entries of `kinds` that the store selects, in list order.
QStringList preselectedKinds(const QStringList &kinds, const QStringList &stored);
// Replaces the stored exclusions with `selected`, written in that order. Throws Error when
// the file cannot be written; the old file then stays as it was.
void storeExcludedKinds(const QString &appFolder, const QStringList &selected);

} // namespace corvina
