#pragma once

#include <QString>

namespace foundation {

// Full path of the running program's executable file, as the platform gives it.
QString RunningExecutablePath();

// The folder of the running program's executable with native separators and
// a trailing separator; empty when the platform does not tell.
QString ExecutableFolder();

} // namespace foundation
