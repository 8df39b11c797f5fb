#include "analysis/ItemAging.h"

#include "analysis/ItemTypeStore.h"
#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "localdb/SavedRecordset.h"
#include "state/ProgramState.h"

#include <QFileInfo>

namespace corvina {

namespace {

// ADO's "Operation is not allowed when the object is open" (adErrObjectOpen).
constexpr std::int32_t kObjectOpen = -2146824583;

} // namespace

namespace {

QStringList askExclusions(ProgramState &state, const QStringList &kinds)
{
    const QStringList preselected = preselectedKinds(kinds, readExcludedKinds(state.appFolder()));
    // Closing the dialog without "&OK" keeps the previous choice.
    return state.screen().askExcludedItemKinds(kinds, preselected).value_or(preselected);
}

} // namespace

bool GetItemAging(ProgramState &state, const std::function<void()> &showWindow)
{
    const QString folder = state.appFolder();
    // A failure names the numbered step it happened in.
    ProcedureStep step(10);
    try {
        if (!QFileInfo::exists(savedRecordsetPath(folder, QStringLiteral("ItemTypes"))))
            CreateSavedRecordset(folder, QStringLiteral("ItemTypes"));
        step.reach(20);
        QStringList kinds;
        {
            Database db = openLocalDb(folder, Database::Mode::ReadOnly);
            kinds = listItemKinds(db);
        }
        const QStringList excluded = askExclusions(state, kinds);
        const ItemKindClause clause = itemKindClause(kinds, excluded);
        step.reach(40);
        storeExcludedKinds(folder, excluded);

        StatusSession status(state.status());
        status->step(QStringLiteral("Building report..."));
        step.reach(80);
        if (state.itemAging())
            throw Error(kObjectOpen,
                        QStringLiteral("Operation is not allowed when the object is open."));
        state.itemAging() = buildItemAging(folder, clause);
        step.reach(90);
        showWindow();
        return true;
    } catch (const Error &e) {
        state.showError(QStringLiteral("GetItemAging"), e.description(), e.number(), step.number());
    } catch (const std::exception &e) {
        state.showError(QStringLiteral("GetItemAging"), QString::fromLocal8Bit(e.what()),
                        errc::kDatabaseFailure, step.number());
    }
    return false;
}

} // namespace corvina
