#include "packprobe/core/TerminalInput.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

namespace packprobe {

bool StdinIsTerminal()
{
    return _isatty(_fileno(stdin)) != 0;
}

bool StderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
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

} // namespace packprobe
