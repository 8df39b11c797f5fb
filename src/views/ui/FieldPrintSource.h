#pragma once

#include "views/FieldPrintJob.h"

#include <QList>

class QWidget;

namespace corvina {

class CustomerList;

// A window whose customer list can be printed with CustFlds: the customer browser, the
// customers-not-buying window. It must outlive the CustFlds dialogs it opens (make it
// their parent).
class FieldPrintSource {
public:
    virtual ~FieldPrintSource() = default;

    // The window's own list, as it shows it now.
    virtual CustomerList &printList() = 0;
    // The first page's title and the lines under it, read when printing starts.
    virtual FieldPrintHeader printHeader() const = 0;
    // The windows hidden, besides the main window, while the preview is shown.
    virtual QList<QWidget *> printWindows() = 0;
    // A run has ended; the list's current row is back where it was.
    virtual void printFinished() {}
};

} // namespace corvina
