#pragma once

#include "views/FieldPrintJob.h"

#include <QDialog>
#include <QList>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QListWidget;
class QPrinter;
class QPushButton;

namespace corvina {

class FieldPrintSource;
class Prev;
class Screen;

// "Customer Fields": the fields to print for each customer of a window's list. "&OK" hides
// the dialog and the windows behind it and previews the pages in Prev; the preview pages,
// prints everything (from the first customer) or cancels. At the end the windows come back,
// the list's current row is restored and the dialog deletes itself.
class CustFlds : public QDialog {
    Q_OBJECT
public:
    // Sets up the printer for "&Print"; false when the user cancelled.
    using PrinterSetup = std::function<bool(QPrinter &)>;

    // `source` must outlive the dialog (it is normally the parent).
    CustFlds(Screen &screen, FieldPrintSource &source, QWidget *parent = nullptr);
    ~CustFlds() override;

    // The preview while a run is on, else null.
    Prev *preview() const;
    // Replaces the print dialog (tests print into a PDF file this way).
    void setPrinterSetup(PrinterSetup setup) { m_printerSetup = std::move(setup); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void layOut();
    void loadFields();
    std::vector<int> chosenColumns() const;

    void run();
    void hideWindows();
    void showPreviewPage(int page);
    void onAnswer(const PreviewAnswer &answer);
    void printAll();
    void finish();

    Screen &m_screen;
    FieldPrintSource &m_source;
    PrinterSetup m_printerSetup;
    std::unique_ptr<FieldPrintJob> m_job;
    QPointer<Prev> m_prev;
    QList<QPointer<QWidget>> m_hidden;
    int m_rememberedRow = -1;
    bool m_centred = false;
    QLabel *m_prompt = nullptr;
    QListWidget *m_fieldList = nullptr;
    QPushButton *m_okButton = nullptr;
};

// The print dialog, for the printer "&Print" uses.
bool askForPrinter(QPrinter &printer, QWidget *parent);

} // namespace corvina
