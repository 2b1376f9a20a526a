#pragma once

#include <QMessageBox>

#include <functional>
#include <memory>

namespace karvel::server {

// The box that asks before a server with live objects is closed; No is preselected.
std::unique_ptr<QMessageBox> makeCloseWarningBox(QWidget* parent);

// Shows the box; true when the user answers Yes.
bool confirmCloseWithActiveObjects(QWidget* parent);

class ServerLifetime;

// The window's close guard: closes at once while no object is held, asks otherwise.
std::function<bool()> makeCloseGuard(
    const ServerLifetime& lifetime, QWidget* window,
    std::function<bool(QWidget*)> ask = confirmCloseWithActiveObjects);

} // namespace karvel::server
