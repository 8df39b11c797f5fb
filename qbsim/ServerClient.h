#pragma once

#include "qbsim/QueryEngine.h"
#include "qbsim/Server.h"
#include "qbxml/Wire.h"

#include <QByteArray>
#include <QLocalSocket>
#include <QString>

#include <deque>

// One client of the server, as the transport and the calls both see it.
namespace corvina::qbsim {

struct Server::Client {
    Client(QLocalSocket *s, int clientId, std::uint32_t maxFrame)
        : socket(s), id(clientId), frames(maxFrame)
    {
    }

    QLocalSocket *socket;
    int id;
    qb::wire::FrameBuffer frames;
    bool connectionOpen = false;
    bool sessionOpen = false;
    bool closing = false; // refused an oversized frame: nothing more is read
    bool stalled = false; // its answer is being held back: nothing more is read
    // Reply bytes not yet handed to the socket, oldest first; the front from `sentOfFront`.
    std::deque<QByteArray> outgoing;
    qsizetype sentOfFront = 0;
    bool gone = false; // disconnected: its state is dropped on the next event loop pass
    QString appName;
    QuerySession session; // the iterators of its QuickBooks session
};

} // namespace corvina::qbsim
