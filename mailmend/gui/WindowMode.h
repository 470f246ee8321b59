#pragma once

#include <QString>

namespace mailmend {

// Window mode of the program: creates the application object, the main
// window, the profile selection dialog and the shared choice dialog, makes
// the start-up choice of profile and runs until the main window is closed.
// Returns the exit code. Start-up (InitProgram) must have run before.
int RunWindowMode(int &argc, char **argv, const QString &thunderbirdFolder);

} // namespace mailmend
