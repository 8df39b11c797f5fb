#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace corvina {

// Title of message boxes that set none of their own.
inline const QString kAppTitle = QStringLiteral("Tallis");

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// The main window's two retrieval-time boxes.
enum class RetrievalBox { Cust, Inv };

// The two texts of the retrieval period dialog, as typed (empty = that side open).
struct RetrievalPeriod {
    QString from;
    QString to;
};

// Main-window menu entries the procedures switch on.
enum class MenuEntry { DispCust, LettersAndLabels, DispInv, ItemAging };

// Everything the procedures may do to the screen. The Qt windows implement it; tests use a
// scripted double that answers from a queue and records every call. Procedures never touch
// widgets directly.
class Screen {
public:
    virtual ~Screen() = default;

    // A modal message box without an icon; a lone carriage return (code 13) in `text` is a
    // line break. Blocks until the user answers.
    virtual Answer message(const QString &text, const QString &title, Buttons buttons) = 0;

    // The status window. showStatus() creates it afresh (so the bar has its design width)
    // and shows it modelessly; closeStatus() unloads it, and does nothing when it is closed.
    virtual void showStatus() = 0;
    virtual int statusBarDesignWidth() const = 0;
    virtual void setStatusText(const QString &text) = 0;
    virtual void setStatusBar(int width, bool visible) = 0;
    // Plays the clip at `clipPath` repeatedly; a missing or unreadable clip shows nothing.
    virtual void playStatusAnimation(const QString &clipPath) = 0;
    virtual void stopStatusAnimation() = 0;
    virtual void closeStatus() = 0;

    // The arrow-with-hourglass pointer over the whole program, or the default one.
    virtual void setBusyPointer(bool busy) = 0;
    // Lets the window system process pending events (repaint, input).
    virtual void yield() = 0;

    // The main window's boxes and menu entries.
    virtual QString boxText(RetrievalBox box) const = 0;
    virtual void setBoxText(RetrievalBox box, const QString &text) = 0;
    virtual void enableEntry(MenuEntry entry) = 0;

    // Shows the retrieval period dialog modally and returns its two texts once confirmed;
    // nothing when the user closed the dialog without confirming.
    virtual std::optional<RetrievalPeriod> askRetrievalPeriod() = 0;
    // Shows the item-type exclusion dialog modally with `kinds` listed and `selected` chosen,
    // and returns the chosen kinds in list order once confirmed; nothing when the user closed
    // the dialog without confirming.
    virtual std::optional<QStringList> askExcludedItemKinds(const QStringList &kinds,
                                                            const QStringList &selected) = 0;
    // Brings the main window to the front.
    virtual void showMainWindow() = 0;

    // The clock: the current local date and time.
    virtual QDateTime now() const = 0;
    // A steady clock for pacing work (from any fixed origin); cheap to read and never set
    // back, unlike now(). Real screens keep the system's; tests move it by hand.
    virtual std::chrono::steady_clock::time_point steadyNow() const
    {
        return std::chrono::steady_clock::now();
    }
};

} // namespace corvina
