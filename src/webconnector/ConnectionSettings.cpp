#include "webconnector/ConnectionSettings.h"

#include "base/Error.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>

namespace corvina::wc {

namespace {

[[noreturn]] void bad(const QString &path, const QString &why)
{
    throw Error(errc::kFileFailure,
                QStringLiteral("The connection settings in %1 cannot be used: %2. Correct or "
                               "delete the file; without it Corvina uses its local request "
                               "processor.")
                    .arg(path, why));
}

int intIn(const QJsonObject &o, const QString &key, int fallback, int low, int high,
          const QString &path)
{
    if (!o.contains(key))
        return fallback;
    const QJsonValue v = o.value(key);
    if (!v.isDouble() || v.toDouble() != static_cast<double>(v.toInt()) || v.toInt() < low ||
        v.toInt() > high)
        bad(path, QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                      .arg(key)
                      .arg(low)
                      .arg(high));
    return v.toInt();
}

QString textIn(const QJsonObject &o, const QString &key, const QString &fallback,
               const QString &path)
{
    if (!o.contains(key))
        return fallback;
    if (!o.value(key).isString())
        bad(path, QStringLiteral("\"%1\" must be text").arg(key));
    return o.value(key).toString();
}

} // namespace

ConnectionSettings ConnectionSettings::load(const QString &path)
{
    ConnectionSettings s;
    QFile file(path);
    if (!file.exists())
        return s;
    if (!file.open(QIODevice::ReadOnly))
        bad(path, file.errorString());
    if (file.size() > 1024 * 1024)
        bad(path, QStringLiteral("the file is far too large"));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        bad(path, QStringLiteral("%1 at offset %2").arg(error.errorString()).arg(error.offset));
    if (!doc.isObject())
        bad(path, QStringLiteral("it holds no JSON object"));
    const QJsonObject o = doc.object();

    const QString mode = textIn(o, QStringLiteral("mode"), QStringLiteral("socket"), path);
    if (mode == QStringLiteral("socket"))
        s.mode = Mode::Socket;
    else if (mode == QStringLiteral("webconnector"))
        s.mode = Mode::WebConnector;
    else
        bad(path, QStringLiteral("\"mode\" must be \"socket\" or \"webconnector\""));
    s.port = static_cast<quint16>(intIn(o, QStringLiteral("port"), s.port, 1, 65535, path));
    s.userName = textIn(o, QStringLiteral("userName"), s.userName, path);
    s.password.salt =
        QByteArray::fromBase64(textIn(o, QStringLiteral("passwordSalt"), {}, path).toLatin1());
    s.password.hash =
        QByteArray::fromBase64(textIn(o, QStringLiteral("passwordHash"), {}, path).toLatin1());
    s.password.iterations = intIn(o, QStringLiteral("passwordIterations"), 0, 0, 100000000, path);
    s.certificatePath = textIn(o, QStringLiteral("certificate"), {}, path);
    s.keyPath = textIn(o, QStringLiteral("key"), {}, path);
    s.quietTimeoutSeconds =
        intIn(o, QStringLiteral("quietTimeoutSeconds"), s.quietTimeoutSeconds, 10, 86400, path);
    s.schedulerMinutes =
        intIn(o, QStringLiteral("schedulerMinutes"), s.schedulerMinutes, 1, 1440, path);
    s.fileId = textIn(o, QStringLiteral("fileId"), {}, path);
    if (!s.fileId.isEmpty() && QUuid::fromString(s.fileId).isNull())
        bad(path, QStringLiteral("\"fileId\" must be a GUID"));
    return s;
}

void ConnectionSettings::save(const QString &path)
{
    if (fileId.isEmpty())
        fileId = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    QJsonObject o;
    o.insert(QStringLiteral("mode"), mode == Mode::WebConnector ? QStringLiteral("webconnector")
                                                                : QStringLiteral("socket"));
    o.insert(QStringLiteral("port"), port);
    o.insert(QStringLiteral("userName"), userName);
    o.insert(QStringLiteral("passwordSalt"), QString::fromLatin1(password.salt.toBase64()));
    o.insert(QStringLiteral("passwordHash"), QString::fromLatin1(password.hash.toBase64()));
    o.insert(QStringLiteral("passwordIterations"), password.iterations);
    o.insert(QStringLiteral("certificate"), certificatePath);
    o.insert(QStringLiteral("key"), keyPath);
    o.insert(QStringLiteral("quietTimeoutSeconds"), quietTimeoutSeconds);
    o.insert(QStringLiteral("schedulerMinutes"), schedulerMinutes);
    o.insert(QStringLiteral("fileId"), fileId);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(o).toJson());
    if (!file.commit())
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
}

} // namespace corvina::wc
