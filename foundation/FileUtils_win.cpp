// Windows side of FileUtils: file handles with sharing modes, attribute
// words, FILETIME stamps, final paths of links, shell shortcuts and the
// recycle bin. Needs ole32, shell32 and uuid.

#include "foundation/FileUtils.h"

#include "foundation/FileUtils_p.h"

#include <QDir>
#include <QFileInfo>

#include <iterator>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#if defined(_MSC_VER)
#pragma comment(lib, "ole32.lib")
#pragma comment(lib, "shell32.lib")
#pragma comment(lib, "uuid.lib")
#endif

using Microsoft::WRL::ComPtr;

namespace foundation {

namespace FileUtilsPlatform {

const int FileNotFoundError = ERROR_FILE_NOT_FOUND;
const int DiskFullError = ERROR_DISK_FULL;
const int FileExistsError = ERROR_FILE_EXISTS;
const int FolderInTheWayError = ERROR_ACCESS_DENIED;

} // namespace FileUtilsPlatform

QString SystemErrorText(int error)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, DWORD(error), 0, reinterpret_cast<LPWSTR>(&buffer),
                                        0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, int(length)).trimmed() : QString();
    LocalFree(buffer);
    return text.isEmpty() ? QStringLiteral("System error %1").arg(error) : text;
}

using namespace FileUtilsPlatform;

namespace {

std::wstring Native(const QString &name)
{
    return QDir::toNativeSeparators(name).toStdWString();
}

TFileTime ToFileTime(const FILETIME &ft)
{
    return (TFileTime(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFILETIME(TFileTime time)
{
    FILETIME ft;
    ft.dwLowDateTime = DWORD(time & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(time >> 32);
    return ft;
}

// The sharing of the classic mode word: compat and exclusive share nothing.
DWORD ShareModeFor(quint16 sharing)
{
    switch (sharing) {
    case fmShareDenyWrite:
        return FILE_SHARE_READ;
    case fmShareDenyRead:
        return FILE_SHARE_WRITE;
    case fmShareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
        return 0;
    }
}

void FillFileData(const WIN32_FILE_ATTRIBUTE_DATA &source, TFileData &data)
{
    data.Attributes = source.dwFileAttributes;
    data.CreationTime = ToFileTime(source.ftCreationTime);
    data.LastAccessTime = ToFileTime(source.ftLastAccessTime);
    data.LastWriteTime = ToFileTime(source.ftLastWriteTime);
    data.Size = (quint64(source.nFileSizeHigh) << 32) | source.nFileSizeLow;
}

// Initialises the thread's component model in apartment mode for one call.
class TComApartment
{
public:
    TComApartment() : FResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~TComApartment()
    {
        if (SUCCEEDED(FResult))
            CoUninitialize();
    }
    TComApartment(const TComApartment &) = delete;
    TComApartment &operator=(const TComApartment &) = delete;

private:
    HRESULT FResult;
};

} // namespace

// ---------------------------------------------------------------------------
// TExtFileStream

TExtFileStream::TExtFileStream(const QString &name, quint16 mode, quint32) : FFileName(name)
{
    const std::wstring path = Native(name);
    const bool create = (mode & fmCreate) == fmCreate;
    DWORD access;
    DWORD disposition;
    if (create) {
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
    } else {
        static const DWORD accessModes[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
        if ((mode & 0x0F) > 2)
            RaiseStreamError(name, false, ERROR_INVALID_PARAMETER);
        access = accessModes[mode & 0x0F];
        disposition = OPEN_EXISTING;
    }
    const HANDLE handle = CreateFileW(path.c_str(), access, ShareModeFor(quint16(mode & 0xF0)), nullptr,
                                      disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        RaiseStreamError(name, create, int(GetLastError()));
    FHandle = reinterpret_cast<qintptr>(handle);
}

TExtFileStream::TExtFileStream(const QString &name, quint32, CreateNewTag) : FFileName(name)
{
    const HANDLE handle = CreateFileW(Native(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        RaiseStreamError(name, true, int(GetLastError()));
    FHandle = reinterpret_cast<qintptr>(handle);
}

TExtFileStream::~TExtFileStream()
{
    Close();
}

qint32 TExtFileStream::Read(void *buffer, qint32 count, qint32 &readCount)
{
    readCount = -1;
    if (count < 0 || (count > 0 && !buffer))
        return ERROR_INVALID_PARAMETER;
    if (FHandle == -1)
        return ERROR_INVALID_HANDLE;
    auto *bytes = static_cast<char *>(buffer);
    qint32 done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(FHandle), bytes + done, DWORD(count - done), &n, nullptr))
            return qint32(GetLastError());
        if (n == 0)
            break;
        done += qint32(n);
    }
    readCount = done;
    return 0;
}

qint32 TExtFileStream::Write(const void *buffer, qint32 count, qint32 &writeCount)
{
    writeCount = -1;
    if (count < 0 || (count > 0 && !buffer))
        return ERROR_INVALID_PARAMETER;
    if (FHandle == -1)
        return ERROR_INVALID_HANDLE;
    const auto *bytes = static_cast<const char *>(buffer);
    qint32 done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(FHandle), bytes + done, DWORD(count - done), &n, nullptr))
            return qint32(GetLastError());
        if (n == 0)
            break;
        done += qint32(n);
    }
    writeCount = done;
    return 0;
}

qint64 TExtFileStream::Seek(qint64 offset, int origin)
{
    static const DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    if (FHandle == -1 || origin < 0 || origin > 2)
        return -1;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(FHandle), distance, &result, methods[origin]))
        return -1;
    return result.QuadPart;
}

qint64 TExtFileStream::Position() const
{
    if (FHandle == -1)
        return -1;
    LARGE_INTEGER zero = {};
    LARGE_INTEGER result;
    return SetFilePointerEx(reinterpret_cast<HANDLE>(FHandle), zero, &result, FILE_CURRENT)
               ? result.QuadPart
               : -1;
}

qint64 TExtFileStream::Size() const
{
    LARGE_INTEGER size;
    if (FHandle == -1 || !GetFileSizeEx(reinterpret_cast<HANDLE>(FHandle), &size))
        return -1;
    return size.QuadPart;
}

qint32 TExtFileStream::SetSize(qint64 size)
{
    if (FHandle == -1)
        return ERROR_INVALID_HANDLE;
    const qint64 position = Position();
    if (Seek(size, soFromBeginning) != size || !SetEndOfFile(reinterpret_cast<HANDLE>(FHandle))) {
        const qint32 error = qint32(GetLastError());
        Seek(position, soFromBeginning);
        return error;
    }
    Seek(qMin(position, size), soFromBeginning);
    return 0;
}

qint32 TExtFileStream::Flush()
{
    if (FHandle == -1)
        return ERROR_INVALID_HANDLE;
    return FlushFileBuffers(reinterpret_cast<HANDLE>(FHandle)) ? 0 : qint32(GetLastError());
}

qint32 TExtFileStream::Close()
{
    if (FHandle == -1)
        return 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(FHandle);
    FHandle = -1;
    return CloseHandle(handle) ? 0 : qint32(GetLastError());
}

// ---------------------------------------------------------------------------
// Attributes and file data

quint32 GetFileAttributesOf(const QString &name)
{
    return name.isEmpty() ? faInvalid : quint32(GetFileAttributesW(Native(name).c_str()));
}

qint32 SetFileAttributesOf(const QString &name, quint32 attributes)
{
    return SetFileAttributesW(Native(name).c_str(), attributes) ? 0 : qint32(GetLastError());
}

bool FindFileData(const QString &name, TFileData &data)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Native(name).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    // The leading fields of the search record have the layout of the
    // attribute data.
    WIN32_FILE_ATTRIBUTE_DATA attributeData;
    attributeData.dwFileAttributes = found.dwFileAttributes;
    attributeData.ftCreationTime = found.ftCreationTime;
    attributeData.ftLastAccessTime = found.ftLastAccessTime;
    attributeData.ftLastWriteTime = found.ftLastWriteTime;
    attributeData.nFileSizeHigh = found.nFileSizeHigh;
    attributeData.nFileSizeLow = found.nFileSizeLow;
    FillFileData(attributeData, data);
    return true;
}

qint32 GetFileData(const QString &name, TFileData &data, bool followLink)
{
    WIN32_FILE_ATTRIBUTE_DATA attributeData;
    QString queried = name;
    BOOL ok = GetFileAttributesExW(Native(name).c_str(), GetFileExInfoStandard, &attributeData);
    QString target;
    if (ok && followLink && (attributeData.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        && GetLinkTarget(name, target)) {
        queried = target;
        ok = GetFileAttributesExW(Native(target).c_str(), GetFileExInfoStandard, &attributeData);
    }
    if (ok) {
        FillFileData(attributeData, data);
        return 0;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
        return qint32(error);
    return FindFileData(queried, data) ? 0 : qint32(ERROR_SHARING_VIOLATION);
}

// ---------------------------------------------------------------------------
// Links, shortcuts, recycle bin

bool GetLinkTarget(const QString &name, QString &target)
{
    const DWORD attributes = GetFileAttributesW(Native(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    // Opening follows the link chain: the handle belongs to the final target.
    const HANDLE handle = CreateFileW(Native(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    wchar_t buffer[32768];
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer, DWORD(std::size(buffer)),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    if (length == 0 || length >= std::size(buffer))
        return false;
    QString path = QString::fromWCharArray(buffer, int(length));
    if (path.startsWith(QLatin1String("\\\\?\\UNC\\")))
        path = QStringLiteral("\\\\") + path.mid(8);
    else if (path.startsWith(QLatin1String("\\\\?\\")))
        path = path.mid(4);
    target = path;
    return true;
}

qint32 GetShortcutInfo(const QString &shortcut, QString &target, QString &arguments,
                       QString &workingFolder, QString &description, bool &runAsAdmin)
{
    target.clear();
    arguments.clear();
    workingFolder.clear();
    description.clear();
    runAsAdmin = false;
    if (!QFileInfo::exists(shortcut))
        return 2;
    TComApartment apartment;
    ComPtr<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (FAILED(result))
        return qint32(result);
    ComPtr<IPersistFile> file;
    if (FAILED(result = link.As(&file)) || FAILED(result = file->Load(Native(shortcut).c_str(), STGM_READ)))
        return qint32(result);
    ComPtr<IShellLinkDataList> dataList;
    DWORD flags = 0;
    if (FAILED(result = link.As(&dataList)) || FAILED(result = dataList->GetFlags(&flags)))
        return qint32(result);
    runAsAdmin = (flags & SLDF_RUNAS_USER) != 0;
    wchar_t buffer[MAX_PATH + 1] = {};
    result = link->GetPath(buffer, MAX_PATH, nullptr, SLGP_UNCPRIORITY);
    if (FAILED(result))
        return qint32(result);
    target = QString::fromWCharArray(buffer);
    if (SUCCEEDED(link->GetArguments(buffer, MAX_PATH)))
        arguments = QString::fromWCharArray(buffer);
    if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH)))
        workingFolder = QString::fromWCharArray(buffer);
    if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH)))
        description = QString::fromWCharArray(buffer);
    return qint32(result);
}

qint32 RecycleFolder(quintptr ownerWindow, const QString &folder)
{
    TComApartment apartment;
    ComPtr<IFileOperation> operation;
    HRESULT result = CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation));
    if (FAILED(result))
        return qint32(result);
    if (FAILED(result = operation->SetOperationFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION
                                                      | FOF_NO_CONNECTED_ELEMENTS)))
        return qint32(result);
    if (ownerWindow)
        operation->SetOwnerWindow(reinterpret_cast<HWND>(ownerWindow));
    ComPtr<IShellItem> item;
    const std::wstring path = Native(QDir::cleanPath(folder));
    if (FAILED(result = SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item))))
        return qint32(result);
    if (FAILED(result = operation->DeleteItem(item.Get(), nullptr)))
        return qint32(result);
    return qint32(operation->PerformOperations());
}

// ---------------------------------------------------------------------------
// Platform layer of the copy

bool IsSameFile(const QString &a, const QString &b)
{
    if (QString::compare(QFileInfo(a).absoluteFilePath(), QFileInfo(b).absoluteFilePath(),
                         Qt::CaseInsensitive) == 0)
        return true;
    auto identify = [](const QString &name, BY_HANDLE_FILE_INFORMATION &info) {
        const HANDLE handle = CreateFileW(Native(name).c_str(), 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = GetFileInformationByHandle(handle, &info) != 0;
        CloseHandle(handle);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identify(a, ia) && identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber
           && ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

namespace FileUtilsPlatform {

QString CopyTargetOf(const QString &destination)
{
    QString target;
    return GetLinkTarget(destination, target) ? target : destination;
}

bool IsSpecialFile(const QString &)
{
    return false;
}

qint32 PrepareReplace(const QString &target)
{
    const DWORD attributes = GetFileAttributesW(Native(target).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_ACCESS_DENIED;
    // A read-only, hidden or system file can then be replaced.
    return SetFileAttributesW(Native(target).c_str(), FILE_ATTRIBUTE_ARCHIVE) ? 0 : qint32(GetLastError());
}

void InheritFileSecurity(const QString &, TExtFileStream &)
{
    // The new file inherits the folder's access rules.
}

qint32 SetLastWriteTime(const QString &name, TFileTime time)
{
    const HANDLE handle = CreateFileW(Native(name).c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return qint32(GetLastError());
    const FILETIME ft = ToFILETIME(time);
    const bool ok = SetFileTime(handle, nullptr, nullptr, &ft) != 0;
    const qint32 error = ok ? 0 : qint32(GetLastError());
    CloseHandle(handle);
    return error;
}

qint32 RenameOver(const QString &source, const QString &target)
{
    return MoveFileExW(Native(source).c_str(), Native(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : qint32(GetLastError());
}

void SyncFolderOf(const QString &)
{
    // MOVEFILE_WRITE_THROUGH already waited for the rename.
}

void RemoveFileQuietly(const QString &name)
{
    const std::wstring path = Native(name);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); // a read-only file cannot be deleted
    DeleteFileW(path.c_str());
}

} // namespace FileUtilsPlatform

} // namespace foundation
