#pragma once

#include "qbxml/RequestProcessor.h"
#include "qbxml/RequestSet.h"
#include "qbxml/SessionManager.h"
#include "webconnector/WebConnectorRequestProcessor.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace corvina {

// The program's one QuickBooks session: the session manager, the request set every
// retrieval fills and sends, and whether a session is open. OpenQB fills it, CloseQB
// empties it. `makeProcessor` says how the request processor is reached: the stand-in's
// socket in the program, an in-process stand-in in tests.
struct QuickBooksLink {
    std::unique_ptr<qb::SessionManager> sessionManager;
    std::unique_ptr<qb::RequestSet> requests;
    bool sessionOpen = false;
    std::function<std::unique_ptr<qb::RequestProcessor>()> makeProcessor;
    // Where the stand-in's socket is when no `makeProcessor` is given; empty = its default.
    QString socketPath;
    // How long QuickBooks may stay silent on a call before the user is asked whether to keep
    // waiting. A real QuickBooks can take minutes over a large company file.
    std::chrono::milliseconds answerPatience = std::chrono::minutes(5);
    // When set (the connection settings chose the Web Connector, and no `makeProcessor` is
    // given), sessions go through this service instead of the stand-in's socket.
    std::shared_ptr<wc::WebConnectorService> webConnector;
    wc::WebConnectorRequestProcessor::Options webConnectorOptions;
};

} // namespace corvina
