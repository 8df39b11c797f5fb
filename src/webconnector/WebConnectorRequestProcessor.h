#pragma once

#include "qbxml/RequestProcessor.h"
#include "webconnector/WebConnectorService.h"

#include <QTimer>
#include <QVersionNumber>

#include <chrono>
#include <functional>
#include <optional>

namespace corvina::wc {

// Reaches QuickBooks through the Web Connector, which calls the service on its own schedule.
// openConnection waits for the configured user's next authenticate; beginSession for the
// update's first sendRequestXML, whose strCompanyFileName is the session's company file; each
// processRequest hands its request to the Web Connector and waits for receiveResponseXML.
// endSession tells the Web Connector the update is done (100). A session left open between
// retrievals does not keep the update open: it ends once no request came for `idleEnd`, and
// the session's next request waits for the Web Connector's next update on the same company
// file (another file open then: kOtherFileOpen, and the link is lost).
//
// Failures raise corvina::Error as the socket processor does: an hresult from QuickBooks
// (receiveResponseXML or connectionError) becomes that number with the request processor's own
// text (e.g. 0x80040408 "Could not start QuickBooks."); a user who stops waiting gets
// hr::kAborted; a Web Connector that goes quiet mid-update for `quietTimeout` gets
// hr::kCouldNotAccess. After these the link is lost (linkLost()).
class WebConnectorRequestProcessor : public qb::RequestProcessor {
public:
    struct Options {
        // While waiting for the Web Connector to call, how often the user is asked whether to
        // keep waiting; zero never asks.
        std::chrono::milliseconds patience = std::chrono::minutes(2);
        // Mid-update, how long the Web Connector may leave Corvina's request unanswered.
        std::chrono::milliseconds quietTimeout = std::chrono::minutes(5);
        int scheduleMinutes = 0; // the .QWC's interval, for the waiting text; 0 = unknown
        // A session with no request for this long ends its Web Connector update (100), so the
        // Web Connector does not show an update in progress after the retrieval is over; the
        // next request of the session waits for the next update.
        std::chrono::milliseconds idleEnd = std::chrono::seconds(2);
    };
    struct Hooks {
        std::function<void()> yield;                      // windows keep painting
        std::function<void(const QString &)> showWaiting; // the status window's text
        // Asked every `patience` with the time waited: true waits on, false gives up.
        std::function<bool(std::chrono::milliseconds)> keepWaiting;
        std::function<std::chrono::steady_clock::time_point()> clock;
    };

    WebConnectorRequestProcessor(WebConnectorService &service, Options options, Hooks hooks);
    ~WebConnectorRequestProcessor() override;

    void openConnection(const QString &appId, const QString &appName) override;
    void beginSession(const QString &companyFile, int openMode) override;
    QString currentCompanyFile() override;
    QByteArray processRequest(QByteArrayView qbxmlRequest) override;
    // Hands the request to the Web Connector at once, so that QuickBooks answers it while the
    // caller works; the next processRequest with the same text takes that answer. An answer
    // nobody takes is dropped when the update ends.
    void sendAhead(QByteArrayView qbxmlRequest) override;
    void endSession() override;
    void closeConnection() override;
    bool linkLost() const override { return m_lost; }

    // The qbXML versions the host speaks: from strHCPResponse, else the first call's
    // qbXMLMajorVers/MinorVers alone; nothing before the session began.
    QList<QVersionNumber> supportedQbxmlVersions() override;
    // What was wrong with strHCPResponse, when it could not be read whole.
    QString hostAnswerDamage() const;

    // The text shown while waiting for the Web Connector's call.
    static QString waitingText(const QString &caller, int scheduleMinutes);

private:
    enum class Wait { ForCall, InUpdate };
    template <class Ready> void waitUntil(Ready ready, Wait kind);
    [[noreturn]] void fail(std::int32_t number, const QString &text, bool lost);
    [[noreturn]] void failFromHresult(const WebConnectorService::Reply &reply, bool lost);
    std::chrono::steady_clock::time_point now() const;
    void waitForUpdate();
    void resumeUpdate();
    void endIdleUpdate();

    WebConnectorService &m_service;
    Options m_options;
    Hooks m_hooks;
    QString m_companyFile;
    QString m_problem; // told to the Web Connector when the update ends
    bool m_inUpdate = false;
    bool m_lost = false;
    bool m_resumable = false;          // the session is open but its update ended while idle
    bool m_busy = false;               // inside a call of the session
    std::optional<QByteArray> m_ahead; // the request handed out ahead, its answer not taken
    QObject m_wake;                    // woken when the service, on its own thread, changes
    QTimer m_idle;
};

// An hresult as the Web Connector writes it ("0x80040408", or decimal) as a signed number;
// nothing for other text.
std::optional<std::int32_t> parseHresult(const QString &text);

} // namespace corvina::wc
