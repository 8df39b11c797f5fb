#pragma once

#include "support/InProcessStandIn.h"
#include "support/LocalDbRows.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include "localdb/LocalDb.h"
#include "state/ProgramState.h"

#include <QVariant>

#include <gtest/gtest.h>

#include <vector>

namespace corvina::test {

// A sales rep as QuickBooks returns it; an empty initial or entity leaves that part out.
inline QByteArray qbRep(const QByteArray &listId, const QByteArray &initial,
                        const QByteArray &entity)
{
    QByteArray xml = "<SalesRepRet><ListID>" + listId + "</ListID>";
    if (!initial.isEmpty())
        xml += "<Initial>" + initial + "</Initial>";
    xml += "<IsActive>true</IsActive>";
    if (!entity.isEmpty())
        xml += "<SalesRepEntityRef><FullName>" + entity + "</FullName></SalesRepEntityRef>";
    return xml + "</SalesRepRet>";
}

// An application folder whose database holds four reps (one without a short name) and
// invoice lines for three items, and an in-process QuickBooks with no company open.
class RepsFixture : public ::testing::Test {
protected:
    RepsFixture()
    {
        ensureLocalDb(folder.path());
        state.quickBooks().makeProcessor = standIn.factory();
        execute(QStringLiteral(
            "INSERT INTO Reps (ListID, Rep, Name) VALUES ('R1', 'JMH', 'Jamie M. Howell'), "
            "('R2', NULL, 'Robin Tanaka'), ('R3', 'NWR', 'Noel W. Reyes'), ('R4', 'KO', 'Kim "
            "O''Hara');"
            "INSERT INTO Invoices (InvNo, ItemRef, SalesRep) VALUES ('1', 'Hinge 3in', 'JMH'), "
            "('2', 'Hinge 3in', NULL), ('3', 'O''Neil''s Door', 'nwr'), ('4', 'Pull', 'ZZ'), ('5', "
            "'Pull', '')"));
    }

    // Opens a company holding these reps, remembered in QBPath.txt.
    void useCompanyReps(const QByteArray &reps)
    {
        const QString path = writeCompany(folder.path(), {}, {}, {}, reps);
        standIn.open(path);
        folder.write(QStringLiteral("QBPath.txt"), path.toUtf8() + "\n");
    }

    std::vector<std::vector<QVariant>> rows(const QString &sql)
    {
        return localDbRows(folder.path(), sql);
    }

    void execute(const QString &sql)
    {
        Database db = openLocalDb(folder.path());
        db.execute(sql);
    }

    TempAppFolder folder;
    ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    InProcessStandIn standIn;
};

} // namespace corvina::test
