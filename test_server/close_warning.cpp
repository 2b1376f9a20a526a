#include "close_warning.h"

#include "server_lifetime.h"

namespace karvel::server {

std::unique_ptr<QMessageBox> makeCloseWarningBox(QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Warning, QStringLiteral("COM Server Warning"),
        QStringLiteral("There are still active COM objects in this application.  One or more "
                       "clients may have references to these objects, so manually closing "
                       "this application may cause those client application(s) to fail."
                       "\n\nAre you sure you want to close this application?"),
        QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

bool confirmCloseWithActiveObjects(QWidget* parent)
{
    return makeCloseWarningBox(parent)->exec() == QMessageBox::Yes;
}

std::function<bool()> makeCloseGuard(const ServerLifetime& lifetime, QWidget* window,
                                     std::function<bool(QWidget*)> ask)
{
    return [&lifetime, window, ask = std::move(ask)] {
        return !lifetime.closeNeedsConsent() || ask(window);
    };
}

} // namespace karvel::server
