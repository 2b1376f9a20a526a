#pragma once
// The About window: what the program is, its version, the terminal software it fully
// supports, and whom to ask. Modal, fixed size, centred on the screen.

#include <QDialog>

namespace karvel {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    static inline const QString kVersion = QStringLiteral("5.2.0.0");

    explicit TAboutBox(QWidget* parent = nullptr);
};

} // namespace karvel
