#include "packprobe/core/StopSignal.h"

#include <csignal>

namespace packprobe {

namespace {

std::atomic<bool> StopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

void OnSignal(int signal)
{
    StopRequested.store(true);
    ::signal(signal, SIG_DFL);
}

} // namespace

const std::atomic<bool> &CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return StopRequested;
}

} // namespace packprobe
