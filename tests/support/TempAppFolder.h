#pragma once

#include <QString>
#include <QTemporaryDir>

namespace corvina::test {

// A fresh, empty application folder for one test, removed afterwards.
class TempAppFolder {
public:
    TempAppFolder();
    const QString &path() const { return m_path; }
    QString file(const QString &name) const { return m_path + QLatin1Char('/') + name; }
    void write(const QString &name, const QByteArray &bytes) const;
    QByteArray read(const QString &name) const;
    bool exists(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace corvina::test
