#include "support/TempAppFolder.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace corvina::test {

TempAppFolder::TempAppFolder() : m_path(m_dir.path())
{
    EXPECT_TRUE(m_dir.isValid());
}

void TempAppFolder::write(const QString &name, const QByteArray &bytes) const
{
    QFile f(file(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray TempAppFolder::read(const QString &name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool TempAppFolder::exists(const QString &name) const
{
    return QFileInfo::exists(file(name));
}

} // namespace corvina::test
