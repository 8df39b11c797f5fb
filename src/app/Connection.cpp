#include "app/Connection.h"

#include "base/Error.h"
#include "base/Screen.h"
#include "qbxml/ComErrors.h"
#include "state/ProgramState.h"
#include "webconnector/ServiceSetup.h"

namespace corvina {

wc::ConnectionSettings loadConnectionSettings(const ProgramState &state)
{
    return wc::ConnectionSettings::load(state.appFile(wc::ConnectionSettings::kFileName));
}

void applyConnectionSettings(ProgramState &state, const wc::ConnectionSettings &settings)
{
    QuickBooksLink &link = state.quickBooks();
    if (link.sessionOpen)
        throw Error(qb::hr::kUnexpected,
                    QStringLiteral("The connection can change once the running retrieval "
                                   "has ended its QuickBooks session."));
    // The old service lets its port go before a new one takes it.
    link.webConnector.reset();
    if (settings.mode != wc::ConnectionSettings::Mode::WebConnector)
        return;
    link.webConnectorOptions.quietTimeout = std::chrono::seconds(settings.quietTimeoutSeconds);
    link.webConnectorOptions.scheduleMinutes = settings.schedulerMinutes;
    link.webConnector = wc::startService(settings, state.appFolder());
}

void openWebConnectorGuide(ProgramState &state, const Launcher &launch,
                           const QStringList &searchPaths)
{
    const QString document = state.sharedFile(kWebConnectorGuide);
    const auto notFound = [&state] {
        state.screen().message(QStringLiteral("Unable to open the guide. Please double-click \"") +
                                   kWebConnectorGuide + QStringLiteral("\" in your ") +
                                   state.sharedFolder() +
                                   QStringLiteral(" folder to read how to set up the QuickBooks "
                                                  "Web Connector."),
                               QStringLiteral("Application Not Found"), Buttons::Ok);
    };
    const auto command = wordProcessorCommand(document, searchPaths);
    if (!command || !launch(*command, notFound))
        notFound();
}

} // namespace corvina
