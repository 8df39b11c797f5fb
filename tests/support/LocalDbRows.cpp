#include "support/LocalDbRows.h"

#include "localdb/LocalDb.h"

namespace corvina::test {

std::vector<std::vector<QVariant>> localDbRows(const QString &appFolder, const QString &sql)
{
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    Statement st = db.prepare(sql);
    std::vector<std::vector<QVariant>> out;
    while (st.step()) {
        const QVariantList values = st.values();
        out.emplace_back(values.begin(), values.end());
    }
    return out;
}

} // namespace corvina::test
