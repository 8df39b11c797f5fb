#pragma once

#include "webconnector/ConnectionSettings.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace corvina {

class ProgramState;

// The "QuickBooks Connection" window: the local request processor or the Web Connector, and
// for the Web Connector its port, user name, password, certificate and timings. A typed form:
// settings() hands the chosen values back (a typed password as a fresh salted hash, never in
// clear); the file-writing buttons call the actions the caller supplies with the values shown.
class QuickBooksConnection : public QDialog {
    Q_OBJECT
public:
    struct Actions {
        std::function<QString(const wc::ConnectionSettings &)>
            fingerprint; // of the certificate in use
        std::function<void(const wc::ConnectionSettings &)>
            saveCertificate;                                         // "Save certificate..."
        std::function<void(const wc::ConnectionSettings &)> saveQwc; // "Save .QWC file..."
        std::function<void()> openGuide;                             // "Setup guide..."
        QString serviceUrl;
    };

    QuickBooksConnection(const wc::ConnectionSettings &current, Actions actions,
                         QWidget *parent = nullptr);

    // The values shown; the password hash is new when a password was typed.
    wc::ConnectionSettings settings() const;

    void accept() override;

private:
    void createControls();
    void createButtons();
    void showValues();
    void updateEnabled();
    void refreshFingerprint();
    QWidget *webConnectorPage();

    wc::ConnectionSettings m_current;
    Actions m_actions;
    QRadioButton *m_socket = nullptr;
    QRadioButton *m_webConnector = nullptr;
    QWidget *m_webConnectorControls = nullptr;
    QSpinBox *m_port = nullptr;
    QLineEdit *m_userName = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_confirm = nullptr;
    QLineEdit *m_certificate = nullptr;
    QLineEdit *m_key = nullptr;
    QLabel *m_fingerprint = nullptr;
    QSpinBox *m_quietSeconds = nullptr;
    QSpinBox *m_schedulerMinutes = nullptr;
};

// The "QuickBooks Connection..." entry: shows the window over the settings of the application
// folder; on OK saves them and switches the program's connection to them. Certificates and
// .QWC files are saved where the user chooses.
void showQuickBooksConnection(ProgramState &state, QWidget *parent);

} // namespace corvina
