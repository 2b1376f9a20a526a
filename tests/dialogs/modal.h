#pragma once
// Acting on modal dialogs from a test: the dialog's own event loop runs the action once
// the dialog is up, as an operator would.

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace karvel::test {

// Runs `act` on the next visible modal window other than `notThis`. The returned timer
// may be deleted to give up waiting.
inline QTimer* WhenModal(std::function<void(QWidget*)> act, QWidget* notThis = nullptr)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QPointer<QWidget> skip(notThis);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, skip, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == skip.data())
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
    return timer;
}

// Closes the next message box and hands its text to `text`.
inline QTimer* AnswerMessage(QString* text, QWidget* notThis = nullptr)
{
    return WhenModal(
        [text](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (text)
                *text = box
                    ? box->text()
                    : QStringLiteral("<no message box: %1>").arg(w->metaObject()->className());
            if (box)
                box->accept();
            else
                w->close();
        },
        notThis);
}

} // namespace karvel::test
