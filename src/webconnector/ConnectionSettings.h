#pragma once

#include "webconnector/Gatekeeper.h"

#include <QString>

namespace corvina::wc {

// How Corvina reaches QuickBooks, kept in the application folder as JSON. Without the file the
// stand-in's socket is used, as always. The password is kept only as its salted hash.
struct ConnectionSettings {
    enum class Mode { Socket, WebConnector };

    static inline const QString kFileName = QStringLiteral("Connection.json");

    Mode mode = Mode::Socket;
    quint16 port = 8443;
    QString userName = QStringLiteral("corvina");
    PasswordHash password;
    QString certificatePath; // empty: the certificate Corvina makes in the application folder
    QString keyPath;
    int quietTimeoutSeconds = 300;
    int schedulerMinutes = 5;
    QString fileId; // "{GUID}", one per company; made on first save when empty

    // Defaults when the file does not exist. Raises corvina::Error naming the file and the
    // fault for a file that cannot be read or holds bad values; the file is left as it is.
    static ConnectionSettings load(const QString &path);
    // Atomically (QSaveFile). Raises corvina::Error when it cannot be written.
    void save(const QString &path);
};

} // namespace corvina::wc
