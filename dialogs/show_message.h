#pragma once
// The plain message box of the settings dialogs: the text and an OK button.

#include <QString>

class QWidget;

namespace karvel {

void ShowMessage(QWidget* parent, const QString& text);

} // namespace karvel
