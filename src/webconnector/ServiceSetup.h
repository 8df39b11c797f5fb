#pragma once

#include "webconnector/ConnectionSettings.h"
#include "webconnector/WebConnectorService.h"

#include <memory>

namespace corvina::wc {

// The certificate and key the service uses: the user's own when the settings name them,
// otherwise corvina.crt / corvina.key in the application folder, made on first use for this
// machine's name and addresses. Raises corvina::Error when they cannot be made or read.
QSslConfiguration serviceTls(const ConnectionSettings &settings, const QString &appFolder);
QString certificatePathFor(const ConnectionSettings &settings, const QString &appFolder);
// Makes Corvina's own certificate and key when the settings name none and they are missing;
// returns the certificate's path.
QString ensureCertificate(const ConnectionSettings &settings, const QString &appFolder);

// The service as the settings describe it, listening on every address of their port over
// HTTPS. Raises corvina::Error (with a message for the user) when it cannot start.
std::unique_ptr<WebConnectorService> startService(const ConnectionSettings &settings,
                                                  const QString &appFolder);

// The URL the Web Connector calls: https://<host name>:<port>/qbwc.
QString serviceUrl(const ConnectionSettings &settings);

} // namespace corvina::wc
