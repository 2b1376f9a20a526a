#pragma once
// The windows tests answer every message box at once and keep its text for the test.

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

namespace karvel::test {

inline void AnswerMessageBoxes(QTimer& timer, QStringList& texts, int periodMs)
{
    QObject::connect(&timer, &QTimer::timeout, [&texts] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts << box->text();
            box->accept();
        }
    });
    timer.start(periodMs);
}

} // namespace karvel::test
