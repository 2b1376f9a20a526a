#pragma once
// What the start-up core tells the windows, as the tests see it.

#include "main_listener.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace karvel::test {

class TRecordingListener : public TMainListener {
public:
    void StatusText(int line, const QString& text) override
    {
        status.append(QStringLiteral("%1:%2").arg(line).arg(text));
    }
    void ShowState(const QStringList& lines) override { states.append(lines); }
    void ShowMessage(const QString& text) override { messages.append(text); }
    void AccountingTrouble(const QString& text) override { trouble.append(text); }
    void SetAsideChanged() override { ++setAsideChanges; }

    QStringList status; // "<line>:<text>", one per booked change
    QList<QStringList> states; // the state window's contents at each show
    QStringList messages; // message boxes
    QStringList trouble; // status-line texts about accounting
    int setAsideChanges = 0;
};

} // namespace karvel::test
