#include "analysis/ItemAging.h"

#include "analysis/ItemTypeStore.h"

namespace corvina {

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

} // namespace corvina
