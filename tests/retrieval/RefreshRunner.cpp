// Runs one invoice refresh in a process of its own, against `qbsim serve` on SOCKET, for tests
// that kill it part-way. Says "refreshing" on standard output when it starts.
//
//   corvina_refresh_runner APP_FOLDER SOCKET
#include "support/ScriptedScreen.h"

#include "retrieval/Retrievals.h"
#include "state/ProgramState.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: corvina_refresh_runner APP_FOLDER SOCKET\n", stderr);
        return 64;
    }
    corvina::test::ScriptedScreen screen;
    screen.setNow(QDateTime::currentDateTime());
    corvina::ProgramState state(QString::fromLocal8Bit(argv[1]), screen);
    state.quickBooks().makeProcessor = nullptr;
    state.quickBooks().socketPath = QString::fromLocal8Bit(argv[2]);
    std::puts("refreshing");
    std::fflush(stdout);
    corvina::RefreshInvoices(state);
    return 0;
}
