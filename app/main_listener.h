#pragma once
// What the start-up core tells the windows while the program runs.

#include <QString>
#include <QStringList>

namespace karvel {

class TMainListener {
public:
    virtual ~TMainListener() = default;
    // Panel 0 of the status bar of line window `line` (1..4).
    virtual void StatusText(int line, const QString& text) = 0;
    // The system state window: rewrite its view with `lines`, show it, bring it up.
    virtual void ShowState(const QStringList& lines) = 0;
    // A message box with the text (an error of start-up or of a reload).
    virtual void ShowMessage(const QString& text) = 0;
    // A booked change did not reach the accounting server now and waits in the ledger.
    // For a status line, not for a message box: polling goes on. An empty text: every
    // change kept meanwhile has been delivered.
    virtual void AccountingTrouble(const QString& text) { (void)text; }
    // The list of changes set aside changed (one was added, sent again or discarded).
    virtual void SetAsideChanged() { }
};

} // namespace karvel
