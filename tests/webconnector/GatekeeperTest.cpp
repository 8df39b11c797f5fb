#include "webconnector/Gatekeeper.h"

#include <gtest/gtest.h>

using namespace corvina::wc;
using namespace std::chrono_literals;
using Status = Gatekeeper::Status;

namespace {

// A clock the test moves by hand.
struct ManualClock {
    std::chrono::steady_clock::time_point now{};
    Gatekeeper::Clock fn()
    {
        return [this] { return now; };
    }
};

class GatekeeperTest : public ::testing::Test {
protected:
    ManualClock clock;
    Gatekeeper keeper{QStringLiteral("corvina"),
                      PasswordHash::make(QStringLiteral("s3cret pass"), 1000), clock.fn()};
};

} // namespace

TEST(PasswordHashTest, KeepsOnlyASaltedHash)
{
    const PasswordHash a = PasswordHash::make(QStringLiteral("pw"), 1000);
    const PasswordHash b = PasswordHash::make(QStringLiteral("pw"), 1000);
    EXPECT_EQ(a.salt.size(), 16);
    EXPECT_EQ(a.hash.size(), 32);
    EXPECT_NE(a.salt, b.salt);
    EXPECT_NE(a.hash, b.hash);
    EXPECT_FALSE(a.hash.contains("pw"));
    EXPECT_EQ(a.derive(QStringLiteral("pw")), a.hash);
    EXPECT_NE(a.derive(QStringLiteral("pW")), a.hash);
    EXPECT_TRUE(constantTimeEquals(QByteArray("abc"), QByteArray("abc")));
    EXPECT_FALSE(constantTimeEquals(QByteArray("abc"), QByteArray("abd")));
    EXPECT_FALSE(constantTimeEquals(QByteArray("abc"), QByteArray("abcd")));
}

TEST_F(GatekeeperTest, AnswersEveryAuthenticateOutcome)
{
    // No work wanted: a ticket and "none", and nothing stays live.
    auto none =
        keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("s3cret pass"), false);
    EXPECT_EQ(none.status, Status::NoWork);
    EXPECT_FALSE(none.ticket.isEmpty());
    EXPECT_FALSE(keeper.accept(none.ticket));

    // Wrong password and unknown user: the same answer, no ticket.
    const auto wrong =
        keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("s3cret"), true);
    EXPECT_EQ(wrong.status, Status::NotValidUser);
    EXPECT_TRUE(wrong.ticket.isEmpty());
    const auto unknown =
        keeper.authenticate(QStringLiteral("mallory"), QStringLiteral("s3cret pass"), true);
    EXPECT_EQ(unknown.status, Status::NotValidUser);
    EXPECT_TRUE(keeper.authenticate(QStringLiteral("Corvina"), QStringLiteral("s3cret pass"), true)
                    .ticket.isEmpty());
    EXPECT_EQ(keeper.authenticate(QString(), QString(), true).status, Status::NotValidUser);

    // Work: a ticket of 128 bits, live; a second update meanwhile is "busy".
    const auto work =
        keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("s3cret pass"), true);
    EXPECT_EQ(work.status, Status::Work);
    EXPECT_EQ(work.ticket.size(), 32);
    EXPECT_TRUE(keeper.accept(work.ticket));
    const auto busy =
        keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("s3cret pass"), true);
    EXPECT_EQ(busy.status, Status::Busy);
    EXPECT_TRUE(busy.ticket.isEmpty());
    EXPECT_NE(work.ticket, none.ticket);
}

TEST_F(GatekeeperTest, RefusesTicketsAfterTheUpdateOrWhenUnknown)
{
    const auto work =
        keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("s3cret pass"), true);
    EXPECT_FALSE(keeper.accept(QString()));
    EXPECT_FALSE(keeper.accept(QStringLiteral("0123456789abcdef0123456789abcdef")));
    EXPECT_FALSE(keeper.accept(work.ticket.left(31)));
    EXPECT_TRUE(keeper.accept(work.ticket));
    keeper.retire();
    EXPECT_FALSE(keeper.accept(work.ticket));

    // A ticket carried by no call for the idle time expires; a call before then keeps it.
    keeper.setTicketIdle(60s);
    const auto next =
        keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("s3cret pass"), true);
    EXPECT_NE(next.ticket, work.ticket);
    clock.now += 50s;
    EXPECT_TRUE(keeper.accept(next.ticket));
    clock.now += 50s;
    EXPECT_TRUE(keeper.accept(next.ticket));
    clock.now += 61s;
    EXPECT_FALSE(keeper.accept(next.ticket));
    // With it gone a new update may start.
    EXPECT_EQ(
        keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("s3cret pass"), true).status,
        Status::Work);
}

TEST_F(GatekeeperTest, FailuresInARowGrowTheDelayAndSuccessResetsIt)
{
    std::vector<std::chrono::milliseconds> delays;
    for (int i = 0; i < 9; ++i)
        delays.push_back(
            keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("guess"), true).delay);
    EXPECT_EQ(delays[0], 0ms);
    EXPECT_EQ(delays[1], 1000ms);
    EXPECT_EQ(delays[2], 2000ms);
    EXPECT_EQ(delays[3], 4000ms);
    for (std::size_t i = 1; i < delays.size(); ++i)
        EXPECT_GE(delays[i], delays[i - 1]);
    EXPECT_EQ(delays.back(), 32000ms); // capped
    EXPECT_EQ(keeper.failuresInARow(), 9);

    const auto ok =
        keeper.authenticate(QStringLiteral("corvina"), QStringLiteral("s3cret pass"), false);
    EXPECT_EQ(ok.status, Status::NoWork);
    EXPECT_EQ(ok.delay, 0ms);
    EXPECT_EQ(keeper.failuresInARow(), 0);
}
