#pragma once

// Event handlers of the windows run through RunGuarded: an error that leaves
// a handler ends that action and is shown in the application's standard
// error box, and the program goes on.

#include <QString>

#include <exception>
#include <functional>
#include <utility>

namespace dialogs {

// The text of the error an exception pointer holds: the message of a file
// error (with the system's reason), what() of other standard errors. Empty
// for a cancellation by the user (foundation::ECancelled), which is no
// error, and for no error.
QString ErrorTextOf(const std::exception_ptr &error);

// Shows the standard error box for an error (centred on the active window).
void ShowErrorBox(const QString &message);

// Runs handler. A cancellation (foundation::ECancelled) ends it silently; any
// other exception is shown with ShowErrorBox. Returns true when the handler
// returned normally.
bool RunGuarded(const std::function<void()> &handler);

// A handler for connect() that runs the callable through RunGuarded.
template <typename F>
auto Guarded(F handler)
{
    return [handler = std::move(handler)]() { RunGuarded(handler); };
}

} // namespace dialogs
