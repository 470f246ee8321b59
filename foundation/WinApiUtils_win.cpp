// Windows side of WinApiUtils: version resources, the process snapshot and
// the image path of a process. Needs version.lib.

#include "foundation/WinApiUtils.h"

#include "foundation/WinApiUtils_p.h"

#include <QDir>

#include <iterator>
#include <vector>

#include <windows.h>
#include <tlhelp32.h>

#if defined(_MSC_VER)
#pragma comment(lib, "version.lib")
#endif

namespace foundation {

using namespace WinApiUtilsPlatform;

namespace {

class TSnapshotHandle
{
public:
    explicit TSnapshotHandle(HANDLE handle) : FHandle(handle) {}
    ~TSnapshotHandle()
    {
        if (FHandle != INVALID_HANDLE_VALUE)
            CloseHandle(FHandle);
    }
    TSnapshotHandle(const TSnapshotHandle &) = delete;
    TSnapshotHandle &operator=(const TSnapshotHandle &) = delete;
    HANDLE Get() const { return FHandle; }

private:
    HANDLE FHandle;
};

QString QueryVersionString(const std::vector<char> &data, const QString &key, const wchar_t *name)
{
    const QString subBlock = QStringLiteral("\\StringFileInfo\\") + key + QLatin1Char('\\')
                             + QString::fromWCharArray(name);
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), reinterpret_cast<LPCWSTR>(subBlock.utf16()), &value, &length)
        || !value || length == 0)
        return QString();
    // The length counts characters including the terminating zero.
    QString text = QString::fromWCharArray(static_cast<const wchar_t *>(value), int(length));
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

} // namespace

// Every Windows this code runs on is of the NT family, version 6 or later.
bool IsNT4OrLater()
{
    return true;
}

bool IsNT5OrLater()
{
    return true;
}

bool ReadFileVersionInfo(const QString &file, TFileVersionInfo &info)
{
    info = TFileVersionInfo();
    const QString native = QDir::toNativeSeparators(file);
    const auto *name = reinterpret_cast<LPCWSTR>(native.utf16());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(name, &handle);
    if (size == 0)
        return false;
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(name, 0, size, data.data()))
        return false;
    struct Translation
    {
        WORD language;
        WORD codePage;
    };
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || !value
        || length < sizeof(Translation))
        return true; // version information without a translation table
    const auto *translation = static_cast<const Translation *>(value);
    const QString key = QStringLiteral("%1%2")
                            .arg(translation->language, 4, 16, QLatin1Char('0'))
                            .arg(translation->codePage, 4, 16, QLatin1Char('0'))
                            .toUpper();
    info.Company = QueryVersionString(data, key, L"CompanyName");
    info.Description = QueryVersionString(data, key, L"FileDescription");
    info.Version = QueryVersionString(data, key, L"FileVersion");
    info.InternalName = QueryVersionString(data, key, L"InternalName");
    info.Copyright = QueryVersionString(data, key, L"LegalCopyright");
    info.Comments = QueryVersionString(data, key, L"Comments");
    return true;
}

QString GetProcessImagePath(qint64 pid)
{
    if (pid <= 0)
        return QString();
    // Limited query access suffices for the image name and is granted for
    // more processes than full query access.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return QString();
    wchar_t buffer[1024];
    DWORD length = DWORD(std::size(buffer));
    const bool ok = QueryFullProcessImageNameW(process, 0, buffer, &length) != 0;
    CloseHandle(process);
    return ok ? QString::fromWCharArray(buffer, int(length)) : QString();
}

bool IsProgramRunning(const QString &exeName, bool fullPath)
{
    if (exeName.isEmpty())
        return false;
    TSnapshotHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.Get() == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        const QString candidate = fullPath ? GetProcessImagePath(qint64(entry.th32ProcessID))
                                           : QString::fromWCharArray(entry.szExeFile);
        if (NamesExecutable(candidate, exeName))
            return true;
    }
    return false;
}

} // namespace foundation
