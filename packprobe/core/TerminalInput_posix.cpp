#include "packprobe/core/TerminalInput.h"

#include <cstdio>
#include <termios.h>
#include <unistd.h>

bool StdinIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool ReadStdinLine(QByteArray &line, qsizetype maxBytes)
{
    line.clear();
    // Room for the whole line up front: growing would leave copies of the
    // password behind that nobody overwrites.
    line.reserve(maxBytes);
    bool any = false;
    for (;;) {
        const int c = std::fgetc(stdin);
        if (c == EOF)
            break;
        any = true;
        if (c == '\n')
            break;
        if (line.size() < maxBytes)
            line.append(char(c));
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return any;
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
