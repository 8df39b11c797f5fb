#include "StandIn.h"

#include <QDeadlineTimer>

namespace corvina::test {

StandIn::StandIn(const QString &program, const QString &companyFile, const QStringList &options)
    : m_program(program), m_companyFile(companyFile),
      m_socketPath(m_dir.filePath(QStringLiteral("qbsim.sock")))
{
    start(options);
}

bool StandIn::restart(const QStringList &options)
{
    kill();
    m_started = false;
    m_log.clear();
    m_errors.clear();
    start(options);
    return m_started;
}

void StandIn::start(const QStringList &options)
{
    QStringList args{QStringLiteral("serve"), QStringLiteral("--socket"), m_socketPath};
    args << options;
    if (!m_companyFile.isEmpty())
        args << m_companyFile;
    m_process.start(m_program, args);
    if (!m_process.waitForStarted(10000)) {
        m_log = m_process.errorString();
        return;
    }
    QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(100);
        out += m_process.readAllStandardOutput();
        if (out.contains("qbsim: listening on ")) {
            m_started = true;
            return;
        }
    }
    m_log = QString::fromUtf8(out + m_process.readAllStandardError());
}

QString StandIn::errorOutput()
{
    m_process.setReadChannel(QProcess::StandardError);
    m_process.waitForReadyRead(10);
    m_process.setReadChannel(QProcess::StandardOutput);
    m_errors += m_process.readAllStandardError();
    return QString::fromUtf8(m_errors);
}

void StandIn::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

StandIn::~StandIn()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        kill();
}

} // namespace corvina::test
