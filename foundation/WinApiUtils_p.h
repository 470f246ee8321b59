#pragma once

// Platform layer of WinApiUtils. Not for use outside the unit.

#include <QString>

namespace foundation {

namespace WinApiUtilsPlatform {

// True when candidate names the executable exeName: whole name, without regard
// to letter case; an empty candidate never matches.
bool NamesExecutable(const QString &candidate, const QString &exeName);

} // namespace WinApiUtilsPlatform

} // namespace foundation
