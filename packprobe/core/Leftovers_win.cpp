#include "packprobe/core/Leftovers.h"

#include <windows.h>

namespace packprobe {

void RemoveNativeName(const char *path)
{
    if (!DeleteFileA(path))
        RemoveDirectoryA(path);
}

namespace {

BOOL WINAPI OnConsoleEvent(DWORD)
{
    RemoveLeftoversNow();
    return FALSE; // the default handler then ends the process
}

} // namespace

void InstallLeftoverHandlers()
{
    static bool installed = false;
    if (!installed)
        installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

} // namespace packprobe
