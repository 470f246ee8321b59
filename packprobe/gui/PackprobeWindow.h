#pragma once

#include <QString>

namespace packprobe {

// The window mode of packprobe: makes the application object, the main
// window (fileName, when given, is analysed instead of the remembered file)
// and runs the event loop until the window is closed. Returns the exit status.
int RunPackprobeWindow(int &argc, char **argv, const QString &fileName);

} // namespace packprobe
