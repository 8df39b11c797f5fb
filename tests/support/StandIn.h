#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace corvina::test {

// A `qbsim serve` process on a private socket, for tests that talk to the stand-in over a
// real socket. Stopped (SIGTERM, then killed) when destroyed.
class StandIn {
public:
    // `program` is the qbsim executable; an empty company file starts it with none open.
    // `options` go to `qbsim serve` as they are (e.g. {"--answer-delay", "never"}).
    StandIn(const QString &program, const QString &companyFile, const QStringList &options = {});
    ~StandIn();

    // Starts the stand-in again on the same socket, after kill(); false when it did not start.
    bool restart(const QStringList &options = {});

    // True once the stand-in said it listens; otherwise `log()` says why not.
    bool started() const { return m_started; }
    const QString &socketPath() const { return m_socketPath; }
    QString log() const { return m_log; }
    // What the stand-in has written to its standard error so far (its request log, unless
    // started with --quiet).
    QString errorOutput();
    void kill();

private:
    void start(const QStringList &options);

    QString m_program;
    QString m_companyFile;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_socketPath;
    QString m_log;
    QByteArray m_errors;
    bool m_started = false;
};

} // namespace corvina::test
