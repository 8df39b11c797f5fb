#include "analysis/ItemTypeStore.h"

#include "localdb/Database.h"
#include "localdb/Recordset.h"
#include "localdb/SavedRecordset.h"

#include <QFileInfo>

namespace corvina {

namespace {

const QString kStoreName = QStringLiteral("ItemTypes");
constexpr qsizetype kPrefixLength = 4; // "Item"
constexpr qsizetype kSuffixLength = 3; // "Ret"

} // namespace

QString itemKindShortForm(const QString &storedType)
{
    if (storedType.size() < kPrefixLength + kSuffixLength)
        return storedType;
    return storedType.mid(kPrefixLength, storedType.size() - kPrefixLength - kSuffixLength);
}

QString itemKindStoredForm(const QString &kind)
{
    return QStringLiteral("Item") + kind + QStringLiteral("Ret");
}

QStringList listItemKinds(Database &db)
{
    QStringList kinds;
    Statement st = db.prepare(QStringLiteral("Select Type From Items Group By Type"));
    while (st.step()) {
        const QString type = st.value(0).toString();
        if (!type.isEmpty())
            kinds.append(itemKindShortForm(type));
    }
    return kinds;
}

QStringList readExcludedKinds(const QString &appFolder)
{
    // An unreadable store is set aside and recreated empty: nothing is then excluded.
    std::optional<RecoveryNotice> notice;
    const Recordset set = openSavedRecordset(appFolder, kStoreName, &notice);
    const int type = set.fieldIndex(QStringLiteral("Type"));
    QStringList stored;
    if (type < 0)
        return stored;
    for (int row = 0; row < set.storedRowCount(); ++row)
        stored.append(set.storedRow(row).at(static_cast<size_t>(type)).toString());
    return stored;
}

QStringList preselectedKinds(const QStringList &kinds, const QStringList &stored)
{
    QStringList selected;
    for (const QString &kind : kinds) {
        if (stored.contains(kind))
            selected.append(kind);
    }
    return selected;
}

void storeExcludedKinds(const QString &appFolder, const QStringList &selected)
{
    // A kind longer than the field's 30 characters is stored whole: a shortened one would
    // never select its entry again.
    Recordset set({Field{QStringLiteral("Type"), FieldKind::Text, 0}});
    for (const QString &kind : selected) {
        set.addNew();
        set.setValue(0, kind);
    }
    saveRecordset(set, savedRecordsetPath(appFolder, kStoreName));
}

} // namespace corvina
