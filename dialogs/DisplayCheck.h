#pragma once

// Whether a window can be shown at all, asked before the application object
// exists: without a display Qt aborts the program instead of reporting it.

#include <QString>

namespace dialogs {

// True on Windows and macOS; elsewhere when QT_QPA_PLATFORM chooses a
// platform or DISPLAY or WAYLAND_DISPLAY names a display.
bool DisplayAvailable();

// The one line a program prints when DisplayAvailable is false (translated).
QString NoDisplayText();

} // namespace dialogs
