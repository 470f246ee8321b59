#pragma once

#include <atomic>

namespace packprobe {

// From the first call on, Ctrl+C (SIGINT; also SIGTERM and SIGHUP, on Windows
// Ctrl+Break and closing the console) sets the returned flag instead of
// ending the program, so that long work can stop cleanly and say what it
// did. A second signal ends the program as usual.
const std::atomic<bool> &CatchStopSignals();

} // namespace packprobe
