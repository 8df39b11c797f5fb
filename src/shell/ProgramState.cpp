#include "shell/ProgramState.h"

namespace corvina {

ProgramState::ProgramState(QString appFolder, Screen &screen)
    : m_appFolder(std::move(appFolder)), m_screen(screen),
      m_errors(screen, appFile(appfile::kLog)), m_status(screen, appFile(appfile::kClip))
{
}

QString ProgramState::appFile(const QString &name) const
{
    return m_appFolder + QLatin1Char('/') + name;
}

} // namespace corvina
