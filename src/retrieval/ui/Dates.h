#pragma once

#include <QDate>
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvina {

// "Period To Retrieve": the beginning and ending invoice dates of a retrieval, as texts.
// Edate starts as `today` in the normalised form (four-digit year). Enter in a box moves on
// as Tab does; leaving a box rewrites a readable date in the normalised form, dates without
// a year or with two digits of it being placed around `today`; entering Edate selects its
// text. "&OK" hides the dialog, which ends its modal run with Accepted; closing it through
// the title bar rejects it.
class Dates : public QDialog {
    Q_OBJECT
public:
    explicit Dates(QDate today, QWidget *parent = nullptr);

    // The two texts as they stand in the boxes (Bdate, Edate).
    QString fromText() const;
    QString toText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void layOut();
    void normalise(QLineEdit *box);

    QDate m_today;
    QLabel *m_instructions = nullptr;
    QLabel *m_fromLabel = nullptr;
    QLineEdit *m_fromBox = nullptr;
    QLabel *m_toLabel = nullptr;
    QLineEdit *m_toBox = nullptr;
    QPushButton *m_okButton = nullptr;
};

} // namespace corvina
