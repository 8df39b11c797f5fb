#include "RetrievalFixture.h"

#include "support/LocalDbRows.h"

#include <QFile>

namespace corvina::test {

RetrievalFixture::RetrievalFixture()
{
    ensureLocalDb(folder.path());
    state.quickBooks().makeProcessor = standIn.factory();
}

QString RetrievalFixture::useCompany(const QByteArray &customers, const QByteArray &invoices,
                                     const QByteArray &items, const QByteArray &reps)
{
    const QString path = writeCompany(folder.path(), customers, invoices, items, reps);
    standIn.open(path);
    folder.write(QStringLiteral("QBPath.txt"), path.toUtf8() + "\n");
    return path;
}

QString RetrievalFixture::useSmallCompany()
{
    const QString path = QStringLiteral(CORVINA_TEST_DATA_DIR "/qbxml/company-small.qbxml");
    standIn.open(path);
    folder.write(QStringLiteral("QBPath.txt"), standIn.companyPath().toUtf8() + "\n");
    return path;
}

std::vector<std::vector<QVariant>> RetrievalFixture::rows(const QString &sql)
{
    return localDbRows(folder.path(), sql);
}

QVariant RetrievalFixture::value(const QString &sql)
{
    const auto all = rows(sql);
    return all.empty() || all.front().empty() ? QVariant() : all.front().front();
}

std::int64_t RetrievalFixture::count(const QString &table)
{
    Database db = openLocalDb(folder.path(), Database::Mode::ReadOnly);
    return db.countRows(table);
}

void RetrievalFixture::execute(const QString &sql)
{
    Database db = openLocalDb(folder.path());
    db.execute(sql);
}

void RetrievalFixture::holdLock()
{
    m_holder.start(QStringLiteral(CORVINA_LOCKHOLDER_PATH), {localDbPath(folder.path())});
    ASSERT_TRUE(m_holder.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("locked")) {
        ASSERT_TRUE(m_holder.waitForReadyRead(10000))
            << m_holder.readAllStandardError().toStdString();
        out += m_holder.readAllStandardOutput();
    }
}

void RetrievalFixture::releaseLock()
{
    if (m_holder.state() == QProcess::NotRunning)
        return;
    m_holder.write("\n");
    m_holder.waitForFinished(10000);
}

std::vector<QString> RetrievalFixture::messageTitles() const
{
    std::vector<QString> titles;
    for (const auto &m : screen.messages())
        titles.push_back(m.title);
    return titles;
}

} // namespace corvina::test
