#pragma once

#include <QString>

// Names of scratch data that must not outlive the program: SIGINT, SIGTERM
// and SIGHUP (on Windows Ctrl+C, Ctrl+Break and closing the console) remove
// them before the program ends the way the signal says. Only data that the
// system could not keep unnamed is registered (PendingFile.h).

namespace packprobe {

// At most this many names are registered at a time; a further one is not
// (its owner still removes it, and a scratch folder goes at the next start).
inline constexpr int MaxLeftovers = 16;

// A file, or a folder that is removed after the files registered after it.
void AddLeftover(const QString &path);
void RemoveLeftover(const QString &path);
// Removes every registered name now, as the signal handlers do.
void RemoveLeftoversNow();

} // namespace packprobe
