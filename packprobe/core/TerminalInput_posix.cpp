#include "packprobe/core/TerminalInput.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace packprobe {

namespace {

constexpr std::array<int, 4> EndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The terminal's settings before the prompt and the handlers it replaced,
// for the signal handler below.
termios SavedTerminal{};
std::array<struct sigaction, EndingSignals.size()> PreviousActions{};

void RestorePreviousActions()
{
    for (size_t i = 0; i < EndingSignals.size(); ++i)
        ::sigaction(EndingSignals[i], &PreviousActions[i], nullptr);
}

// A signal during the prompt must not leave the terminal without echo: the
// settings come back first, then the signal is delivered again to whatever
// handled it before.
void OnSignal(int signal)
{
    ::tcsetattr(STDIN_FILENO, TCSANOW, &SavedTerminal);
    RestorePreviousActions();
    ::raise(signal);
}

// Switches echo off for its lifetime; a signal in between restores it.
class TEchoOff
{
public:
    TEchoOff()
    {
        if (::tcgetattr(STDIN_FILENO, &SavedTerminal) != 0)
            return;
        FActive = true;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < EndingSignals.size(); ++i)
            ::sigaction(EndingSignals[i], &action, &PreviousActions[i]);
        termios quiet = SavedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~TEchoOff()
    {
        if (!FActive)
            return;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &SavedTerminal);
        RestorePreviousActions();
    }
    TEchoOff(const TEchoOff &) = delete;
    TEchoOff &operator=(const TEchoOff &) = delete;

private:
    bool FActive = false;
};

} // namespace

bool StdinIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool ReadHiddenLine(const QString &prompt, QByteArray &line, qsizetype maxBytes)
{
    if (!StdinIsTerminal())
        return false;
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    const TEchoOff echoOff;
    return ReadStdinLine(line, maxBytes);
}

} // namespace packprobe
