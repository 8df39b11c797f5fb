#include "webconnector/Gatekeeper.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>

#include <array>

namespace corvina::wc {

namespace {

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    auto *generator = QRandomGenerator::system();
    for (char &b : bytes)
        b = static_cast<char>(generator->bounded(256));
    return bytes;
}

constexpr int kHashBytes = 32;

} // namespace

PasswordHash PasswordHash::make(const QString &password, int iterations)
{
    PasswordHash result;
    result.salt = randomBytes(16);
    result.iterations = iterations;
    result.hash = result.derive(password);
    return result;
}

QByteArray PasswordHash::derive(const QString &password) const
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations > 0 ? iterations : 1, kHashBytes);
}

bool constantTimeEquals(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff = static_cast<unsigned char>(
            diff | (static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i])));
    return diff == 0;
}

Gatekeeper::Gatekeeper(QString userName, PasswordHash password, Clock clock)
    : m_userName(std::move(userName)), m_password(std::move(password)),
      m_clock(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); }))
{
}

std::chrono::milliseconds Gatekeeper::delayAfter(int failures)
{
    if (failures <= 1)
        return std::chrono::milliseconds(0);
    return std::chrono::seconds(1) * (1 << std::min(failures - 2, 5));
}

Gatekeeper::Outcome Gatekeeper::authenticate(const QString &userName, const QString &password,
                                             bool workWanted)
{
    // The same work whatever is wrong: both comparisons always run, on hashes of equal length.
    const QByteArray nameDigest =
        QCryptographicHash::hash(userName.toUtf8(), QCryptographicHash::Sha256);
    const QByteArray wantedDigest =
        QCryptographicHash::hash(m_userName.toUtf8(), QCryptographicHash::Sha256);
    const bool nameOk = constantTimeEquals(nameDigest, wantedDigest);
    const bool passwordOk =
        m_password.isSet() && constantTimeEquals(m_password.derive(password), m_password.hash);
    if (!(nameOk && passwordOk) || m_userName.isEmpty()) {
        ++m_failures;
        return {Status::NotValidUser, {}, delayAfter(m_failures)};
    }
    m_failures = 0;
    expireIdleTicket();
    if (!m_ticket.isEmpty())
        return {Status::Busy, {}, {}};
    const QString ticket = QString::fromLatin1(randomBytes(16).toHex());
    // With no work the Web Connector ends at once: the ticket is never live.
    if (!workWanted)
        return {Status::NoWork, ticket, {}};
    m_ticket = ticket;
    m_lastUse = m_clock();
    return {Status::Work, m_ticket, {}};
}

bool Gatekeeper::accept(const QString &ticket)
{
    expireIdleTicket();
    if (m_ticket.isEmpty() || !constantTimeEquals(ticket.toUtf8(), m_ticket.toUtf8()))
        return false;
    m_lastUse = m_clock();
    return true;
}

void Gatekeeper::retire()
{
    m_ticket.clear();
}

bool Gatekeeper::hasLiveTicket()
{
    expireIdleTicket();
    return !m_ticket.isEmpty();
}

void Gatekeeper::expireIdleTicket()
{
    if (!m_ticket.isEmpty() && m_clock() - m_lastUse > m_ticketIdle)
        m_ticket.clear();
}

} // namespace corvina::wc
