#include "mailmend/core/MailFileIo.h"

#include "foundation/FileUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>

namespace {

std::wstring Wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

TFileIdentity IdentityFromInfo(const BY_HANDLE_FILE_INFORMATION &info)
{
    TFileIdentity id;
    id.Size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    // 100-ns units since 1601 are as good as nanoseconds for a comparison.
    id.ModifiedNs = (qint64(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    id.Device = info.dwVolumeSerialNumber;
    id.FileId = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return id;
}

TFileIdentity IdentityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return {};
    return IdentityFromInfo(info);
}

} // namespace

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

qint64 FreeDiskSpace(const QString &folder)
{
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(Wide(folder).c_str(), &available, nullptr, nullptr))
        return -1;
    return qint64(available.QuadPart);
}

TFolderReadFile::TFolderReadFile(const QString &path)
    : FFileName(path)
{
    // Others may read, nobody may write while the folder is read.
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int error = int(GetLastError());
        throw EExtFileStreamError::CreateResFmt("Cannot open file \"%s\". %s", error, path,
                                                SystemErrorText(error));
    }
    FHandle = qintptr(h);
}

TFolderReadFile::~TFolderReadFile()
{
    Close();
}

void TFolderReadFile::Close()
{
    if (FHandle != -1)
        CloseHandle(HANDLE(FHandle));
    FHandle = -1;
}

qint64 TFolderReadFile::ReadFull(void *buffer, qint64 count)
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

TFileIdentity TFolderReadFile::Identity() const
{
    return IdentityOfHandle(HANDLE(FHandle));
}

TReplacementFile::TReplacementFile(const QString &target)
    : FTarget(target)
{
    // A read-only folder file stays as it is, as creating it anew would fail.
    const DWORD original = GetFileAttributesW(Wide(target).c_str());
    if (original != INVALID_FILE_ATTRIBUTES && (original & FILE_ATTRIBUTE_READONLY))
        throw EExtFileStreamError::CreateResFmt("Cannot create file \"%s\". %s", int(ERROR_ACCESS_DENIED),
                                                target, SystemErrorText(int(ERROR_ACCESS_DENIED)));
    HANDLE h = INVALID_HANDLE_VALUE;
    int error = 0;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        const QString name = ReplacementPrefix(target)
                             + QString::number(QRandomGenerator::global()->generate64(), 36)
                             + QLatin1String(ReplacementSuffix);
        // No sharing: while the writer lives nobody can open or delete it,
        // which is what RemoveStaleReplacements relies on.
        h = CreateFileW(Wide(name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_HIDDEN, nullptr);
        error = int(GetLastError());
        if (h != INVALID_HANDLE_VALUE)
            FTempName = name;
        else if (error != ERROR_FILE_EXISTS)
            break;
    }
    if (h == INVALID_HANDLE_VALUE)
        throw EExtFileStreamError::CreateResFmt("Cannot create file \"%s\". %s", error, target,
                                                SystemErrorText(error));
    FHandle = qintptr(h);
}

TReplacementFile::~TReplacementFile()
{
    Discard();
}

void TReplacementFile::CloseHandle()
{
    if (FHandle != -1) {
        ::CloseHandle(HANDLE(FHandle));
        FHandle = -1;
    }
}

void TReplacementFile::Discard()
{
    if (FCommitted)
        return;
    CloseHandle();
    if (!FTempName.isEmpty())
        DeleteFileW(Wide(FTempName).c_str());
    FTempName.clear();
}

bool TReplacementFile::Write(const void *data, qint64 count)
{
    const auto *in = static_cast<const char *>(data);
    while (count > 0) {
        DWORD n = 0;
        const DWORD want = DWORD(qMin<qint64>(count, 1 << 30));
        if (!WriteFile(HANDLE(FHandle), in, want, &n, nullptr)) {
            FLastError = int(GetLastError());
            return false;
        }
        in += n;
        count -= n;
    }
    return true;
}

bool TReplacementFile::Commit()
{
    if (FHandle == -1 || FCommitted)
        return FCommitted;
    if (!FlushFileBuffers(HANDLE(FHandle))) {
        FLastError = int(GetLastError());
        Discard();
        return false;
    }
    // The attributes of the original go with the new file.
    const DWORD attributes = GetFileAttributesW(Wide(FTarget).c_str());
    CloseHandle();
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(Wide(FTempName).c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (!MoveFileExW(Wide(FTempName).c_str(), Wide(FTarget).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        FLastError = int(GetLastError());
        Discard();
        return false;
    }
    FCommitted = true;
    return true;
}

int RemoveStaleReplacements(const QString &target)
{
    const QFileInfo prefixInfo(ReplacementPrefix(target));
    const QDir folder(prefixInfo.absolutePath());
    int removed = 0;
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.startsWith(prefixInfo.fileName()) && name.endsWith(QLatin1String(ReplacementSuffix))
            && DeleteFileW(Wide(folder.filePath(name)).c_str()))
            ++removed; // a live writer's file cannot be deleted: it is open without sharing
    }
    return removed;
}
