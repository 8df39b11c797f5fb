#include "state/ProgramState.h"

#include "base/Screen.h"

namespace corvina {

ProgramState::ProgramState(QString appFolder, Screen &screen, QString sharedFolder)
    : m_appFolder(std::move(appFolder)),
      m_sharedFolder(sharedFolder.isEmpty() ? m_appFolder : std::move(sharedFolder)),
      m_screen(screen), m_errors(screen, appFile(appfile::kLog)),
      m_status(screen, sharedFile(appfile::kClip))
{
}

QString ProgramState::appFile(const QString &name) const
{
    return m_appFolder + QLatin1Char('/') + name;
}

QString ProgramState::sharedFile(const QString &name) const
{
    return m_sharedFolder + QLatin1Char('/') + name;
}

bool ProgramState::runRetrieval(const std::function<void(ProgramState &)> &procedure)
{
    if (m_retrievalRunning) {
        m_screen.message(
            QStringLiteral("A retrieval from Quickbooks is already running. Please wait until it "
                           "has finished."),
            kAppTitle, Buttons::Ok);
        return false;
    }
    m_retrievalRunning = true;
    struct Reset {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{m_retrievalRunning};
    ErrorReport::Action action(m_errors);
    procedure(*this);
    return true;
}

} // namespace corvina
