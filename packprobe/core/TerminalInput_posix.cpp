#include "packprobe/core/TerminalInput.h"

#include <cstdio>
#include <termios.h>
#include <unistd.h>

bool StdinIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool ReadHiddenLine(const QString &prompt, QByteArray &line, qsizetype maxBytes)
{
    if (!StdinIsTerminal())
        return false;
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    termios saved {};
    const bool haveSettings = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveSettings) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool ok = ReadStdinLine(line, maxBytes);
    if (haveSettings)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    return ok;
}
