#pragma once

#include "base/AppFiles.h"
#include "base/ErrorReport.h"
#include "base/StatusDisplay.h"
#include "reporting/ReportRows.h"
#include "state/QuickBooksLink.h"

#include <QString>

#include <functional>
#include <memory>

namespace corvina {

class Screen;

// Program-wide state, owned by main() and handed by reference to the windows and
// procedures: the application folder, the screen, the error report with its count and the
// status window protocol with its progress values, and the QuickBooks session. The Item
// Analyzer result joins it when that feature arrives.
class ProgramState {
public:
    // `sharedFolder` holds the files the program ships with (the mail-merge guide, the
    // clip); empty means the application folder, as when the program runs from its own.
    ProgramState(QString appFolder, Screen &screen, QString sharedFolder = {});
    ProgramState(const ProgramState &) = delete;
    ProgramState &operator=(const ProgramState &) = delete;

    // The application folder, where the database and the saved files live.
    const QString &appFolder() const noexcept { return m_appFolder; }
    // A file of the application folder: folder + "/" + name.
    QString appFile(const QString &name) const;
    // The folder of the files the program ships with, read and never written.
    const QString &sharedFolder() const noexcept { return m_sharedFolder; }
    QString sharedFile(const QString &name) const;

    Screen &screen() noexcept { return m_screen; }
    ErrorReport &errors() noexcept { return m_errors; }
    StatusDisplay &status() noexcept { return m_status; }
    QuickBooksLink &quickBooks() noexcept { return m_quickBooks; }

    // Runs a retrieval unless one is already running (the windows stay usable while one
    // runs, so a menu could start a second on top of it); false when it was refused.
    bool runRetrieval(const std::function<void(ProgramState &)> &procedure);
    bool retrievalRunning() const noexcept { return m_retrievalRunning; }

    // The last customer-sales result, held while its report shows it.
    std::shared_ptr<reporting::ReportRows> &custSales() noexcept { return m_custSales; }
    // rsItemAging: the Item Analyzer's two-level result (items; under "Child" one row per
    // customer who bought the item), held while the Item Analyzer window shows it.
    std::shared_ptr<reporting::ReportRows> &itemAging() noexcept { return m_itemAging; }

    // ShowError, for the procedures.
    void showError(const QString &procedure, const QString &description, std::int32_t number,
                   int step)
    {
        m_errors.show(procedure, description, number, step);
    }

private:
    QString m_appFolder;
    QString m_sharedFolder;
    Screen &m_screen;
    ErrorReport m_errors;
    StatusDisplay m_status;
    QuickBooksLink m_quickBooks;
    bool m_retrievalRunning = false;
    std::shared_ptr<reporting::ReportRows> m_custSales;
    std::shared_ptr<reporting::ReportRows> m_itemAging;
};

} // namespace corvina
