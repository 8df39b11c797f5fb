#include "app/ui/QuickBooksConnection.h"

#include "app/Connection.h"
#include "base/Error.h"
#include "base/Screen.h"
#include "state/ProgramState.h"
#include "webconnector/Certificate.h"
#include "webconnector/QwcFile.h"
#include "webconnector/ServiceSetup.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QUuid>
#include <QVBoxLayout>

namespace corvina {

namespace {

QSpinBox *spinBox(const char *name, int low, int high, int value)
{
    auto *box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

QLineEdit *lineEdit(const char *name, const QString &text = {})
{
    auto *edit = new QLineEdit(text);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

} // namespace

QuickBooksConnection::QuickBooksConnection(const wc::ConnectionSettings &current, Actions actions,
                                           QWidget *parent)
    : QDialog(parent), m_current(current), m_actions(std::move(actions))
{
    setObjectName(QStringLiteral("QuickBooksConnection"));
    setWindowTitle(QStringLiteral("QuickBooks Connection"));
    createControls();
    createButtons();
    showValues();
}

void QuickBooksConnection::createControls()
{
    m_socket = new QRadioButton(
        QStringLiteral("&Local request processor (QuickBooks stand-in on this computer)"));
    m_socket->setObjectName(QStringLiteral("optSocket"));
    m_webConnector = new QRadioButton(QStringLiteral("QuickBooks &Web Connector on a Windows PC"));
    m_webConnector->setObjectName(QStringLiteral("optWebConnector"));
    connect(m_webConnector, &QRadioButton::toggled, this, &QuickBooksConnection::updateEnabled);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_socket);
    layout->addWidget(m_webConnector);
    layout->addWidget(webConnectorPage());
}

QWidget *QuickBooksConnection::webConnectorPage()
{
    m_webConnectorControls = new QWidget;
    auto *form = new QFormLayout(m_webConnectorControls);
    m_port = spinBox("txtPort", 1, 65535, m_current.port);
    m_userName = lineEdit("txtUserName", m_current.userName);
    m_password = lineEdit("txtPassword");
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(m_current.password.isSet() ? QStringLiteral("(unchanged)")
                                                              : QString());
    m_confirm = lineEdit("txtConfirm");
    m_confirm->setEchoMode(QLineEdit::Password);
    m_certificate = lineEdit("txtCertificate", m_current.certificatePath);
    m_certificate->setPlaceholderText(QStringLiteral("(made by Corvina)"));
    m_key = lineEdit("txtKey", m_current.keyPath);
    m_fingerprint = new QLabel;
    m_fingerprint->setObjectName(QStringLiteral("lblFingerprint"));
    m_fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Two rows of 16 bytes, with room for both from the start: the window is laid out before
    // a certificate exists, and a wrapped label would not grow it.
    m_fingerprint->setMinimumHeight(2 * m_fingerprint->fontMetrics().lineSpacing());
    m_quietSeconds = spinBox("txtQuietSeconds", 10, 86400, m_current.quietTimeoutSeconds);
    m_schedulerMinutes = spinBox("txtSchedulerMinutes", 1, 1440, m_current.schedulerMinutes);

    form->addRow(QStringLiteral("&Port:"), m_port);
    form->addRow(QStringLiteral("&User name:"), m_userName);
    form->addRow(QStringLiteral("Pass&word:"), m_password);
    form->addRow(QStringLiteral("C&onfirm password:"), m_confirm);
    form->addRow(QStringLiteral("Own certificate (PEM):"), m_certificate);
    form->addRow(QStringLiteral("Own private key (PEM):"), m_key);
    form->addRow(QStringLiteral("SHA-256 fingerprint:"), m_fingerprint);
    form->addRow(QStringLiteral("Stop when the Web Connector is silent for (seconds):"),
                 m_quietSeconds);
    form->addRow(QStringLiteral("Web Connector runs every (minutes):"), m_schedulerMinutes);
    auto *url = new QLabel(QStringLiteral("Service address: %1").arg(m_actions.serviceUrl));
    url->setObjectName(QStringLiteral("lblServiceUrl"));
    url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(url);
    return m_webConnectorControls;
}

void QuickBooksConnection::createButtons()
{
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *saveCertificate =
        buttons->addButton(QStringLiteral("Save &certificate..."), QDialogButtonBox::ActionRole);
    saveCertificate->setObjectName(QStringLiteral("cmdSaveCertificate"));
    auto *saveQwc =
        buttons->addButton(QStringLiteral("Save .&QWC file..."), QDialogButtonBox::ActionRole);
    saveQwc->setObjectName(QStringLiteral("cmdSaveQwc"));
    auto *guide = buttons->addButton(QStringLiteral("Setup &guide..."), QDialogButtonBox::HelpRole);
    guide->setObjectName(QStringLiteral("cmdSetupGuide"));
    connect(guide, &QPushButton::clicked, this, [this] {
        if (m_actions.openGuide)
            m_actions.openGuide();
    });
    connect(saveCertificate, &QPushButton::clicked, this, [this] {
        if (m_actions.saveCertificate)
            m_actions.saveCertificate(settings());
        refreshFingerprint();
    });
    connect(saveQwc, &QPushButton::clicked, this, [this] {
        if (m_actions.saveQwc)
            m_actions.saveQwc(settings());
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QuickBooksConnection::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QuickBooksConnection::reject);
    layout()->addWidget(buttons);
}

void QuickBooksConnection::showValues()
{
    const bool wc = m_current.mode == wc::ConnectionSettings::Mode::WebConnector;
    m_webConnector->setChecked(wc);
    m_socket->setChecked(!wc);
    updateEnabled();
}

void QuickBooksConnection::updateEnabled()
{
    m_webConnectorControls->setEnabled(m_webConnector->isChecked());
    if (m_webConnector->isChecked())
        refreshFingerprint();
}

void QuickBooksConnection::refreshFingerprint()
{
    const QString text = m_actions.fingerprint ? m_actions.fingerprint(settings()) : QString();
    const QStringList bytes = text.split(QLatin1Char(':'));
    m_fingerprint->setText(bytes.size() == 32
                               ? bytes.mid(0, 16).join(QLatin1Char(':')) + QStringLiteral(":\n") +
                                     bytes.mid(16).join(QLatin1Char(':'))
                               : text);
}

wc::ConnectionSettings QuickBooksConnection::settings() const
{
    wc::ConnectionSettings s = m_current;
    s.mode = m_webConnector->isChecked() ? wc::ConnectionSettings::Mode::WebConnector
                                         : wc::ConnectionSettings::Mode::Socket;
    s.port = static_cast<quint16>(m_port->value());
    s.userName = m_userName->text().trimmed();
    s.certificatePath = m_certificate->text().trimmed();
    s.keyPath = m_key->text().trimmed();
    s.quietTimeoutSeconds = m_quietSeconds->value();
    s.schedulerMinutes = m_schedulerMinutes->value();
    if (!m_password->text().isEmpty() && m_password->text() == m_confirm->text())
        s.password = wc::PasswordHash::make(m_password->text());
    return s;
}

void QuickBooksConnection::accept()
{
    QString problem;
    if (m_password->text() != m_confirm->text())
        problem = QStringLiteral("The two passwords differ. Type the same password twice.");
    else if (m_webConnector->isChecked() && m_userName->text().trimmed().isEmpty())
        problem = QStringLiteral("The Web Connector needs a user name.");
    else if (m_webConnector->isChecked() && m_password->text().isEmpty() &&
             !m_current.password.isSet())
        problem = QStringLiteral("Choose the password the Web Connector will send.");
    else if (m_certificate->text().trimmed().isEmpty() != m_key->text().trimmed().isEmpty())
        problem =
            QStringLiteral("An own certificate needs its private key, and the other way round.");
    if (!problem.isEmpty()) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), problem, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    m_current = settings(); // the hash is made once
    m_password->clear();
    m_confirm->clear();
    QDialog::accept();
}

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
    file.write(data);
    if (!file.commit())
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
}

// Runs `work`, showing its failure in a message box instead of passing it on.
template <class Work> bool guarded(Screen &screen, Work work)
{
    try {
        work();
        return true;
    } catch (const Error &e) {
        screen.message(e.description(), QStringLiteral("QuickBooks Connection"), Buttons::Ok);
        return false;
    }
}

} // namespace

void showQuickBooksConnection(ProgramState &state, QWidget *parent)
{
    Screen &screen = state.screen();
    wc::ConnectionSettings current;
    if (!guarded(screen, [&] { current = loadConnectionSettings(state); }))
        return;
    if (current.fileId.isEmpty())
        current.fileId = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();

    QuickBooksConnection::Actions actions;
    actions.serviceUrl = wc::serviceUrl(current);
    actions.fingerprint = [&state, &screen](const wc::ConnectionSettings &s) {
        QString text;
        guarded(screen, [&] {
            text = wc::sha256Fingerprint(readFile(wc::ensureCertificate(s, state.appFolder())));
        });
        return text;
    };
    actions.saveCertificate = [&state, &screen, parent](const wc::ConnectionSettings &s) {
        guarded(screen, [&] {
            const QByteArray pem = readFile(wc::ensureCertificate(s, state.appFolder()));
            const QString path = QFileDialog::getSaveFileName(
                parent, QStringLiteral("Save certificate"), QStringLiteral("corvina.crt"),
                QStringLiteral("Certificates (*.crt *.pem)"));
            if (!path.isEmpty())
                writeFile(path, pem);
        });
    };
    actions.saveQwc = [&screen, parent](const wc::ConnectionSettings &s) {
        guarded(screen, [&] {
            wc::QwcFields fields;
            fields.appUrl = wc::serviceUrl(s);
            fields.userName = s.userName;
            fields.fileId = s.fileId;
            fields.runEveryMinutes = s.schedulerMinutes;
            const QString path = QFileDialog::getSaveFileName(
                parent, QStringLiteral("Save .QWC file"), QStringLiteral("Corvina.qwc"),
                QStringLiteral("Web Connector files (*.qwc)"));
            if (!path.isEmpty())
                writeFile(path, wc::qwcDocument(fields));
        });
    };

    actions.openGuide = [&state] { openWebConnectorGuide(state); };

    QuickBooksConnection window(current, std::move(actions), parent);
    if (window.exec() != QDialog::Accepted)
        return;
    wc::ConnectionSettings chosen = window.settings();
    if (!guarded(screen, [&] { chosen.save(state.appFile(wc::ConnectionSettings::kFileName)); }))
        return;
    guarded(screen, [&] { applyConnectionSettings(state, chosen); });
}

} // namespace corvina
