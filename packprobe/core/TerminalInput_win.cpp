#include "packprobe/core/TerminalInput.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

bool StdinIsTerminal()
{
    return _isatty(_fileno(stdin)) != 0;
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
    std::fputws(reinterpret_cast<const wchar_t *>(prompt.utf16()), stderr);
    std::fflush(stderr);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool haveMode = GetConsoleMode(input, &saved) != 0;
    if (haveMode)
        SetConsoleMode(input, saved & ~DWORD(ENABLE_ECHO_INPUT));
    const bool ok = ReadStdinLine(line, maxBytes);
    if (haveMode)
        SetConsoleMode(input, saved);
    std::fputs("\n", stderr);
    return ok;
}
