#include "mailmend/core/MailFileIo.h"

#include "foundation/FileUtils.h"
#include "mailmend/core/MailFolder.h"

#include <QDir>

#include <windows.h>

namespace mailmend {

using namespace foundation;

namespace {

using MailFileIoDetail::ThrowNotRegular;
using MailFileIoDetail::ThrowOpenError;

std::wstring Wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

TFileIdentity IdentityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return {};
    TFileIdentity id;
    id.Size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    // 100-ns units since 1601 are as good as nanoseconds for a comparison.
    id.ModifiedNs = (qint64(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    id.Device = info.dwVolumeSerialNumber;
    id.FileId = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return id;
}

OVERLAPPED At(qint64 offset)
{
    OVERLAPPED o = {};
    o.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    o.OffsetHigh = DWORD(quint64(offset) >> 32);
    return o;
}

} // namespace

TPathKind PathKindOf(const QString &path, int *errorOut)
{
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (errorOut)
            *errorOut = int(GetLastError());
        return TPathKind::Missing;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return TPathKind::Other;
    // Device names (NUL, COM1, \\.\pipe\...) are no files on a disk.
    if (Wide(path).rfind(L"\\\\.\\", 0) == 0)
        return TPathKind::Other;
    return TPathKind::RegularFile;
}

TFileIdentity FileIdentityOf(const QString &path)
{
    HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    const TFileIdentity id = IdentityOfHandle(h);
    CloseHandle(h);
    return id;
}

TFolderFile::TFolderFile(const QString &path, TAccess access)
    : FFileName(path)
{
    const bool forWriting = access == TAccess::ReadWrite;
    MailFileIoDetail::RefuseUnlessRegularFile(path);
    // Others may read; nobody else may write while the folder is read or
    // changed here.
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | (forWriting ? GENERIC_WRITE : 0), FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, forWriting ? 0 : FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        ThrowOpenError(path, forWriting, int(GetLastError()));
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        ThrowNotRegular(path);
    }
    FHandle = qintptr(h);
}

TFolderFile::~TFolderFile()
{
    if (FHandle != -1)
        CloseHandle(HANDLE(FHandle));
}

qint64 TFolderFile::ReadFull(void *buffer, qint64 count)
{
    auto *out = static_cast<char *>(buffer);
    qint64 done = 0;
    while (done < count) {
        DWORD n = 0;
        const DWORD want = DWORD(qMin<qint64>(count - done, 1 << 30));
        if (!ReadFile(HANDLE(FHandle), out + done, want, &n, nullptr)) {
            FLastError = int(GetLastError());
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

qint64 TFolderFile::ReadAt(qint64 offset, void *buffer, qint64 count)
{
    // A positioned read moves the file pointer on Windows; keep it.
    LARGE_INTEGER zero = {}, position = {};
    SetFilePointerEx(HANDLE(FHandle), zero, &position, FILE_CURRENT);
    auto *out = static_cast<char *>(buffer);
    qint64 done = 0;
    while (done < count) {
        DWORD n = 0;
        OVERLAPPED o = At(offset + done);
        const DWORD want = DWORD(qMin<qint64>(count - done, 1 << 30));
        if (!ReadFile(HANDLE(FHandle), out + done, want, &n, &o)) {
            const DWORD e = GetLastError();
            if (e == ERROR_HANDLE_EOF)
                break;
            FLastError = int(e);
            SetFilePointerEx(HANDLE(FHandle), position, nullptr, FILE_BEGIN);
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    SetFilePointerEx(HANDLE(FHandle), position, nullptr, FILE_BEGIN);
    return done;
}

bool TFolderFile::WriteAt(qint64 offset, const void *data, qint64 count)
{
    const auto *in = static_cast<const char *>(data);
    qint64 done = 0;
    while (done < count) {
        DWORD n = 0;
        OVERLAPPED o = At(offset + done);
        if (!WriteFile(HANDLE(FHandle), in + done, DWORD(qMin<qint64>(count - done, 1 << 30)), &n, &o)) {
            FLastError = int(GetLastError());
            return false;
        }
        done += n;
    }
    return true;
}

bool TFolderFile::Sync()
{
    if (!FlushFileBuffers(HANDLE(FHandle))) {
        FLastError = int(GetLastError());
        return false;
    }
    return true;
}

TFileIdentity TFolderFile::Identity() const
{
    return IdentityOfHandle(HANDLE(FHandle));
}

} // namespace mailmend
