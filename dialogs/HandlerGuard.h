#pragma once

// Event handlers of the windows run through RunGuarded: an error that leaves
// a handler ends that action and is shown in the application's standard
// error box, and the program goes on.

#include <QString>

#include <exception>
#include <functional>

namespace dialogs {

// Shows the standard error box for an error (centred on the active window).
void ShowErrorBox(const QString &message);

// Runs handler. A cancellation (foundation::ECancelled) ends it silently; any
// other exception is shown with ShowErrorBox. Returns true when the handler
// returned normally.
bool RunGuarded(const std::function<void()> &handler);

} // namespace dialogs
