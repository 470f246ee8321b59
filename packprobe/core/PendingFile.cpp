#include "packprobe/core/PendingFile.h"

#include "packprobe/core/Leftovers.h"

#include "foundation/FileUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cerrno>

namespace packprobe {

using namespace foundation;

// Platform parts (PendingFile_linux.cpp, _mac.cpp, _posix.cpp, _win.cpp).
// An unnamed file in folder opened for reading and writing, or -1 (errno set;
// EOPNOTSUPP where the system or the file system offers none). forLink: the
// file must be able to get a name later.
int OpenUnnamedFile(const QString &folder, bool forLink);
// Gives the unnamed file of fd the name; false with errno set.
bool LinkUnnamedFile(int fd, const QString &name);
// Renames from to to, replacing to; false with errno set.
bool ReplaceFileWith(const QString &from, const QString &to);
bool ProcessIsAlive(qint64 pid);
qint64 CurrentProcessId();
int LastSystemError();

namespace {

constexpr char ScratchPrefix[] = "packprobe-";
constexpr int NameAttempts = 20;

[[noreturn]] void ThrowCreateError(const QString &name, int error)
{
    throw EExtFileStreamError::CreateResFmt("Cannot create file \"%s\". %s", error,
                                            QDir::toNativeSeparators(name),
                                            qt_error_string(error));
}

QString RandomSuffix()
{
    return QString::number(QRandomGenerator::global()->generate64() % 0x100000000ull, 36);
}

QString PartNameFor(const QString &destination)
{
    const QFileInfo info(destination);
    return info.dir().filePath(QStringLiteral(".%1.%2.part").arg(info.fileName(), RandomSuffix()));
}

} // namespace

TPendingFile::~TPendingFile()
{
    if (!FCommitted)
        Discard();
}

void TPendingFile::Discard()
{
    FFile.close();
    if (!FName.isEmpty()) {
        QFile::remove(FName);
        RemoveLeftover(FName);
    }
    if (!FPrivateFolder.isEmpty()) {
        QDir().rmdir(FPrivateFolder);
        RemoveLeftover(FPrivateFolder);
    }
}

bool TPendingFile::OpenUnnamed(const QString &nameForErrors, bool forLink)
{
    const int fd = OpenUnnamedFile(FFolder, forLink);
    if (fd < 0) {
        if (errno != EOPNOTSUPP)
            ThrowCreateError(nameForErrors, LastSystemError());
        return false;
    }
    FFile.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    return true;
}

std::unique_ptr<TPendingFile> TPendingFile::CreateScratch(TNaming naming)
{
    std::unique_ptr<TPendingFile> pending(new TPendingFile);
    pending->FFolder = QDir::tempPath();
    if (naming == TNaming::UnnamedWhereOffered && pending->OpenUnnamed(pending->FFolder, false))
        return pending;
    // A private folder whose name tells the next start whether its process
    // still runs.
    RemoveStaleScratchFolders();
    QTemporaryDir folder(QDir(pending->FFolder).filePath(
        QStringLiteral("%1%2-XXXXXX").arg(QLatin1String(ScratchPrefix)).arg(CurrentProcessId())));
    if (!folder.isValid())
        ThrowCreateError(folder.path(), EACCES);
    folder.setAutoRemove(false);
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                             | QFileDevice::ExeOwner);
    pending->FPrivateFolder = folder.path();
    AddLeftover(pending->FPrivateFolder);
    pending->FName = QDir(folder.path()).filePath(QStringLiteral("unpacked.tmp"));
    AddLeftover(pending->FName);
    pending->FFile.setFileName(pending->FName);
    if (!pending->FFile.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered))
        ThrowCreateError(pending->FName, EACCES);
    pending->FFile.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return pending;
}

std::unique_ptr<TPendingFile> TPendingFile::CreateBeside(const QString &destination, TNaming naming)
{
    std::unique_ptr<TPendingFile> pending(new TPendingFile);
    const QFileInfo target(destination);
    pending->FFolder = target.absolutePath();
    if (target.exists() && !target.isFile() && !target.isDir()) {
        // A device or FIFO (/dev/stdout, a pipe) is written in place.
        pending->FFile.setFileName(destination);
        if (!pending->FFile.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            ThrowCreateError(destination, EACCES);
        pending->FCommitted = true;
        return pending;
    }
    pending->FDestination = target.absoluteFilePath();
    if (naming == TNaming::UnnamedWhereOffered
        && pending->OpenUnnamed(pending->FDestination, true))
        return pending;
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        pending->FName = PartNameFor(pending->FDestination);
        pending->FFile.setFileName(pending->FName);
        if (pending->FFile.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            AddLeftover(pending->FName);
            return pending;
        }
        if (QFileInfo::exists(pending->FName))
            continue;
        break;
    }
    const QString failed = pending->FName;
    pending->FName.clear();
    ThrowCreateError(failed.isEmpty() ? pending->FDestination : failed, EACCES);
}

void TPendingFile::Commit()
{
    if (FDestination.isEmpty() || FCommitted)
        return;
    if (FName.isEmpty()) {
        // Unnamed: a hidden name beside the destination first, then the
        // destination's name in one step.
        QString linked;
        int error = 0;
        for (int attempt = 0; attempt < NameAttempts && linked.isEmpty(); ++attempt) {
            const QString candidate = PartNameFor(FDestination);
            if (LinkUnnamedFile(FFile.handle(), candidate))
                linked = candidate;
            else if ((error = LastSystemError()) != EEXIST)
                break;
        }
        if (linked.isEmpty())
            ThrowCreateError(FDestination, error);
        FName = linked;
        AddLeftover(FName);
    }
    FFile.close();
    // A file that is replaced keeps its permissions.
    if (QFileInfo(FDestination).isFile())
        QFile::setPermissions(FName, QFile::permissions(FDestination));
    if (!ReplaceFileWith(FName, FDestination)) {
        const int error = LastSystemError();
        Discard();
        ThrowCreateError(FDestination, error);
    }
    RemoveLeftover(FName);
    FName.clear();
    FCommitted = true;
}

void RemoveStaleScratchFolders()
{
    static const QRegularExpression pattern(
        QStringLiteral("^%1(\\d+)-[A-Za-z0-9]{6}$").arg(QLatin1String(ScratchPrefix)));
    const QDir temp(QDir::tempPath());
    const QStringList names =
        temp.entryList({QLatin1String(ScratchPrefix) + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        const QFileInfo info(temp.filePath(name));
        if (pid == CurrentProcessId() || ProcessIsAlive(pid) || !info.isWritable())
            continue;
        QDir(info.filePath()).removeRecursively();
    }
}

} // namespace packprobe
