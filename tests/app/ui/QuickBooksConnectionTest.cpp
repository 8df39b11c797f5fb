#include "app/ui/QuickBooksConnection.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

using namespace corvina;

namespace {

template <class T> T *control(QWidget &w, const char *name)
{
    T *c = w.findChild<T *>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

} // namespace

// The window hands back what was chosen; a typed password only as a new salted hash, and an
// untouched password field keeps the old hash. The save buttons get the values shown.
TEST(QuickBooksConnectionWindow, HandsBackTheChosenSettings)
{
    wc::ConnectionSettings current;
    current.fileId = QStringLiteral("{00000000-0000-4000-8000-000000000001}");
    std::optional<wc::ConnectionSettings> qwcSaved;
    QuickBooksConnection::Actions actions;
    actions.fingerprint = [](const wc::ConnectionSettings &) { return QStringLiteral("AA:BB"); };
    actions.saveQwc = [&](const wc::ConnectionSettings &s) { qwcSaved = s; };
    QuickBooksConnection w(current, actions);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("QuickBooks Connection"));
    EXPECT_TRUE(control<QRadioButton>(w, "optSocket")->isChecked());
    EXPECT_EQ(w.settings().mode, wc::ConnectionSettings::Mode::Socket);

    control<QRadioButton>(w, "optWebConnector")->setChecked(true);
    EXPECT_EQ(control<QLabel>(w, "lblFingerprint")->text(), QStringLiteral("AA:BB"));
    // A SHA-256 fingerprint shows as two rows of 16 bytes.
    QStringList bytes;
    for (int i = 0; i < 32; ++i)
        bytes << QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
    QuickBooksConnection::Actions full = actions;
    full.fingerprint = [&](const wc::ConnectionSettings &) { return bytes.join(QLatin1Char(':')); };
    QuickBooksConnection other(current, full);
    control<QRadioButton>(other, "optWebConnector")->setChecked(true);
    EXPECT_EQ(control<QLabel>(other, "lblFingerprint")->text(),
              bytes.mid(0, 16).join(QLatin1Char(':')) + QStringLiteral(":\n") +
                  bytes.mid(16).join(QLatin1Char(':')));
    control<QSpinBox>(w, "txtPort")->setValue(9443);
    control<QLineEdit>(w, "txtUserName")->setText(QStringLiteral(" office "));
    control<QLineEdit>(w, "txtPassword")->setText(QStringLiteral("typed secret"));
    control<QLineEdit>(w, "txtConfirm")->setText(QStringLiteral("typed secret"));
    control<QSpinBox>(w, "txtSchedulerMinutes")->setValue(15);
    control<QPushButton>(w, "cmdSaveQwc")->click();
    ASSERT_TRUE(qwcSaved);
    EXPECT_EQ(qwcSaved->port, 9443);
    EXPECT_EQ(qwcSaved->schedulerMinutes, 15);
    EXPECT_EQ(qwcSaved->fileId, current.fileId);

    w.accept();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    const wc::ConnectionSettings chosen = w.settings();
    EXPECT_EQ(chosen.mode, wc::ConnectionSettings::Mode::WebConnector);
    EXPECT_EQ(chosen.userName, QStringLiteral("office"));
    EXPECT_EQ(chosen.password.derive(QStringLiteral("typed secret")), chosen.password.hash);
    // Asked again, the same hash: the password was hashed once, when accepted.
    EXPECT_EQ(w.settings().password.hash, chosen.password.hash);
    EXPECT_TRUE(control<QLineEdit>(w, "txtPassword")->text().isEmpty());
}
