#pragma once

#include <QString>
#include <QVariant>

#include <vector>

namespace corvina::test {

// The rows of a query against the application folder's QBData.mdb, read on a read-only
// connection of their own; every value as a QVariant (null for NULL).
std::vector<std::vector<QVariant>> localDbRows(const QString &appFolder, const QString &sql);

} // namespace corvina::test
