#include "packprobe/core/StopSignal.h"

#include <windows.h>

namespace packprobe {

namespace {

std::atomic<bool> StopRequested{false};

BOOL WINAPI OnConsoleEvent(DWORD)
{
    // The second event goes to the default handler, which ends the process.
    return StopRequested.exchange(true) ? FALSE : TRUE;
}

} // namespace

const std::atomic<bool> &CatchStopSignals()
{
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    return StopRequested;
}

} // namespace packprobe
