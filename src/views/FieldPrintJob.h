#pragma once

#include "views/FieldPrintLayout.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvina {

class CustomerList;
class FieldPrintSurface;

// The header of the first page: the title and the lines under it (the filters in force).
struct FieldPrintHeader {
    QString title;
    QStringList lines;
};

// One run of the customer field printing: the chosen fields of every customer of a list as
// blocks of name/value pairs, paged for one surface. The list must outlive the job.
//
// A block: the Name line in bold when Name is chosen, then the other chosen fields two to
// a line (left, right), a rule and an empty line. Every customer is one block, whether or
// not Name is chosen.
class FieldPrintJob {
public:
    // `columns`: the chosen columns of the list, in list order.
    FieldPrintJob(const CustomerList &list, std::vector<int> columns, FieldPrintHeader header);

    // Draws the header on an empty first page and computes the layout on this surface from
    // it. Every other call needs a started job.
    void start(FieldPrintSurface &surface);
    const FieldPrintLayout &layout() const noexcept { return m_layout; }
    int pageCount() const noexcept { return m_layout.pageCount; }

    // Preview: clears the surface and draws one page (1..pageCount; page 1 with the header).
    void drawPage(FieldPrintSurface &surface, int page);
    // Printer: starts the job and draws every page, each closed by its number ("Page n",
    // centred) and followed by a new page, then ends the document.
    void printAll(FieldPrintSurface &surface);

    static const QString &nameField();

private:
    void drawHeader(FieldPrintSurface &surface);
    void drawBlocks(FieldPrintSurface &surface, int page);
    void drawBlock(FieldPrintSurface &surface, int row);
    void drawPair(FieldPrintSurface &surface, double labelX, double valueX, int row, int column,
                  bool endLine);

    const CustomerList &m_list;
    QStringList m_names; // the list's column names
    std::vector<int> m_columns;
    int m_nameColumn = -1; // Name among the chosen columns, else -1
    FieldPrintHeader m_header;
    FieldPrintLayout m_layout;
};

// How the preview answers at each page (its buttons and page box).
struct PreviewAnswer {
    enum class Kind { Next, First, Last, Page, Print, Cancel };
    Kind kind = Kind::Next;
    int page = 0; // for Page
};

// What follows an answer on `current` of `pageCount` pages.
struct PreviewStep {
    enum class Action { Show, Print, Finish };
    Action action = Action::Show;
    int page = 1; // for Show
};

// Next past the last page finishes; a typed page outside 1..pageCount is brought inside.
PreviewStep previewStep(const PreviewAnswer &answer, int current, int pageCount);

} // namespace corvina
