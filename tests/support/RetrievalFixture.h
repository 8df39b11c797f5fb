#pragma once

#include "support/InProcessStandIn.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include "localdb/LocalDb.h"
#include "state/ProgramState.h"

#include <QProcess>
#include <QVariant>

#include <gtest/gtest.h>

#include <vector>

namespace corvina::test {

// A fresh application folder with its database, the scripted screen, the program state and
// an in-process stand-in (no company open until a test opens one).
class RetrievalFixture : public ::testing::Test {
protected:
    RetrievalFixture();
    ~RetrievalFixture() override { releaseLock(); }

    // Opens a company holding these records and remembers its path in QBPath.txt, as after
    // an earlier first run, so no question about the company file is asked.
    QString useCompany(const QByteArray &customers, const QByteArray &invoices = {},
                       const QByteArray &items = {}, const QByteArray &reps = {});
    // The small company of the test data (four customers, two invoices, every item kind,
    // three reps).
    QString useSmallCompany();

    // Rows of a query against QBData.mdb, every value as a QVariant (null for NULL).
    std::vector<std::vector<QVariant>> rows(const QString &sql);
    QVariant value(const QString &sql);
    std::int64_t count(const QString &table);
    void execute(const QString &sql);

    // A second process holding a write transaction on QBData.mdb until released.
    void holdLock();
    void releaseLock();

    std::vector<QString> messageTitles() const;

    TempAppFolder folder;
    ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    InProcessStandIn standIn;

private:
    QProcess m_holder;
};

} // namespace corvina::test
