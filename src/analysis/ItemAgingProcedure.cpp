#include "analysis/ItemAging.h"

#include "analysis/ItemTypeStore.h"
#include "localdb/Error.h"
#include "localdb/LocalDb.h"
#include "localdb/SavedRecordset.h"
#include "shell/ProgramState.h"
#include "shell/Screen.h"

#include <QFileInfo>

namespace corvina {

namespace {

// ADO's "Operation is not allowed when the object is open" (adErrObjectOpen).
constexpr std::int32_t kObjectOpen = -2146824583;

} // namespace

namespace {

// The numbered steps of GetItemAging; a failure names the step it happened in.
QStringList askExclusions(ProgramState &state, const QStringList &kinds)
{
    const QStringList preselected = preselectedKinds(kinds, readExcludedKinds(state.appFolder()));
    // Closing the dialog without "&OK" keeps the previous choice.
    return state.screen().askExcludedItemKinds(kinds, preselected).value_or(preselected);
}

template <typename F> auto atStep(int line, F &&f)
{
    try {
        return f();
    } catch (const Error &e) {
        throw e.atLine(line);
    }
}

} // namespace

bool GetItemAging(ProgramState &state, const std::function<void()> &showWindow)
{
    const QString folder = state.appFolder();
    try {
        atStep(10, [&] {
            if (!QFileInfo::exists(savedRecordsetPath(folder, QStringLiteral("ItemTypes"))))
                CreateSavedRecordset(folder, QStringLiteral("ItemTypes"));
        });
        const QStringList kinds = atStep(20, [&] {
            Database db = openLocalDb(folder, Database::Mode::ReadOnly);
            return listItemKinds(db);
        });
        const QStringList excluded = atStep(20, [&] { return askExclusions(state, kinds); });
        const ItemKindClause clause = itemKindClause(kinds, excluded);
        atStep(40, [&] { storeExcludedKinds(folder, excluded); });

        StatusSession status(state.status());
        status->step(QStringLiteral("Building report..."));
        atStep(80, [&] {
            if (state.itemAging())
                throw Error(kObjectOpen,
                            QStringLiteral("Operation is not allowed when the object is open."));
            state.itemAging() = buildItemAging(folder, clause);
        });
        atStep(90, [&] { showWindow(); });
        return true;
    } catch (const Error &e) {
        state.showError(QStringLiteral("GetItemAging"), e.description(), e.number(), e.line());
    } catch (const std::exception &e) {
        state.showError(QStringLiteral("GetItemAging"), QString::fromLocal8Bit(e.what()),
                        errc::kDatabaseFailure, 0);
    }
    return false;
}

} // namespace corvina
