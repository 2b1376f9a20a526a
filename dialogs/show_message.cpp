#include "show_message.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace karvel {

void ShowMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

} // namespace karvel
