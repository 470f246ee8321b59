#include "packprobe/core/Leftovers.h"

#include <csignal>
#include <unistd.h>

namespace packprobe {

void RemoveNativeName(const char *path)
{
    if (::unlink(path) != 0)
        ::rmdir(path);
}

namespace {

void OnSignal(int signal)
{
    RemoveLeftoversNow();
    // End the way the signal asks, as if no handler were installed.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

void InstallLeftoverHandlers()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        // A handler installed by the program itself (Ctrl+C of a check run)
        // stays: it ends the work and removes what the work made.
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_DFL)
            continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace packprobe
