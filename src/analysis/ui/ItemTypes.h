#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

namespace corvina {

// "Exclude Item Types": lists the item kinds (short form) with the remembered exclusions
// selected; several can be selected. "&OK" hides the dialog, ending its modal run with
// Accepted; closing it through the title bar rejects it.
class ItemTypes : public QDialog {
    Q_OBJECT
public:
    ItemTypes(const QStringList &kinds, const QStringList &selected, QWidget *parent = nullptr);

    // The selected entries, in list order.
    QStringList selectedKinds() const;

private:
    void createControls();
    void layOut();
    void fill(const QStringList &kinds, const QStringList &selected);
    QLabel *m_explanation = nullptr;
    QListWidget *m_kindList = nullptr;
    QPushButton *m_okButton = nullptr;
};

} // namespace corvina
