#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

namespace corvina::wc {

// A password kept only as a salted PBKDF2-HMAC-SHA256 hash.
struct PasswordHash {
    QByteArray salt; // 16 random bytes
    QByteArray hash; // 32 bytes
    int iterations = 0;

    static constexpr int kDefaultIterations = 120000;
    // A fresh salt from the system's generator.
    static PasswordHash make(const QString &password, int iterations = kDefaultIterations);
    bool isSet() const { return !salt.isEmpty() && !hash.isEmpty() && iterations > 0; }
    // The hash `password` would have under this salt and count.
    QByteArray derive(const QString &password) const;
};

// Equal-length byte strings compared in time independent of where they differ; strings of
// different lengths compare unequal (their length is not secret).
bool constantTimeEquals(const QByteArray &a, const QByteArray &b);

// Who may start an update, and the one update that runs at a time.
//
// authenticate(): the configured user with the right password gets a ticket, with status ""
// (work: use the company file open in QuickBooks) when an update is wanted, "none" otherwise;
// while another ticket is live the answer is "busy". A "none" ticket is never live. Unknown users
// and wrong passwords get "nvu" after the same work (the hash is always derived, names compared in
// constant time), and every failure in a row lengthens the delay the caller must wait before
// answering.
//
// A ticket is 128 random bits from the system's generator, good for one update: it is retired
// by retire() (closeConnection, giving up) and expires when no call has carried it for
// `ticketIdle`. The clock is injectable so that tests move time by hand.
class Gatekeeper {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    Gatekeeper(QString userName, PasswordHash password, Clock clock = {});

    enum class Status { Work, NoWork, Busy, NotValidUser };
    struct Outcome {
        Status status = Status::NotValidUser;
        QString ticket;                     // empty for Busy and NotValidUser
        std::chrono::milliseconds delay{0}; // wait this long before answering
    };
    Outcome authenticate(const QString &userName, const QString &password, bool workWanted);

    // True when `ticket` is the live ticket; the call counts as activity.
    bool accept(const QString &ticket);
    // The live ticket ends; accept() refuses it from now on.
    void retire();
    bool hasLiveTicket();

    void setTicketIdle(std::chrono::milliseconds idle) { m_ticketIdle = idle; }
    int failuresInARow() const noexcept { return m_failures; }

    // The delay after n failures in a row: none for the first, then 1 s doubling to 32 s.
    static std::chrono::milliseconds delayAfter(int failures);

private:
    void expireIdleTicket();

    QString m_userName;
    PasswordHash m_password;
    Clock m_clock;
    QString m_ticket;
    std::chrono::steady_clock::time_point m_lastUse;
    std::chrono::milliseconds m_ticketIdle = std::chrono::minutes(10);
    int m_failures = 0;
};

} // namespace corvina::wc
