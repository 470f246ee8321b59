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
    if (!m_committed)
        Discard();
}

void TPendingFile::Discard()
{
    m_file.close();
    if (!m_name.isEmpty()) {
        QFile::remove(m_name);
        RemoveLeftover(m_name);
    }
    if (!m_privateFolder.isEmpty()) {
        QDir().rmdir(m_privateFolder);
        RemoveLeftover(m_privateFolder);
    }
}

bool TPendingFile::OpenUnnamed(const QString &nameForErrors, bool forLink)
{
    const int fd = OpenUnnamedFile(m_folder, forLink);
    if (fd < 0) {
        if (errno != EOPNOTSUPP)
            ThrowCreateError(nameForErrors, LastSystemError());
        return false;
    }
    m_file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    return true;
}

std::unique_ptr<TPendingFile> TPendingFile::CreateScratch(TNaming naming)
{
    std::unique_ptr<TPendingFile> pending(new TPendingFile);
    pending->m_folder = QDir::tempPath();
    if (naming == TNaming::UnnamedWhereOffered && pending->OpenUnnamed(pending->m_folder, false))
        return pending;
    // A private folder whose name tells the next start whether its process
    // still runs.
    RemoveStaleScratchFolders();
    QTemporaryDir folder(QDir(pending->m_folder).filePath(
        QStringLiteral("%1%2-XXXXXX").arg(QLatin1String(ScratchPrefix)).arg(CurrentProcessId())));
    if (!folder.isValid())
        ThrowCreateError(folder.path(), EACCES);
    folder.setAutoRemove(false);
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                             | QFileDevice::ExeOwner);
    pending->m_privateFolder = folder.path();
    AddLeftover(pending->m_privateFolder);
    pending->m_name = QDir(folder.path()).filePath(QStringLiteral("unpacked.tmp"));
    AddLeftover(pending->m_name);
    pending->m_file.setFileName(pending->m_name);
    if (!pending->m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered))
        ThrowCreateError(pending->m_name, EACCES);
    pending->m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return pending;
}

std::unique_ptr<TPendingFile> TPendingFile::CreateBeside(const QString &destination, TNaming naming)
{
    std::unique_ptr<TPendingFile> pending(new TPendingFile);
    const QFileInfo target(destination);
    pending->m_folder = target.absolutePath();
    if (target.exists() && !target.isFile() && !target.isDir()) {
        // A device or FIFO (/dev/stdout, a pipe) is written in place.
        pending->m_file.setFileName(destination);
        if (!pending->m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            ThrowCreateError(destination, EACCES);
        pending->m_committed = true;
        return pending;
    }
    pending->m_destination = target.absoluteFilePath();
    if (naming == TNaming::UnnamedWhereOffered
        && pending->OpenUnnamed(pending->m_destination, true))
        return pending;
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        pending->m_name = PartNameFor(pending->m_destination);
        pending->m_file.setFileName(pending->m_name);
        if (pending->m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            AddLeftover(pending->m_name);
            return pending;
        }
        if (QFileInfo::exists(pending->m_name))
            continue;
        break;
    }
    const QString failed = pending->m_name;
    pending->m_name.clear();
    ThrowCreateError(failed.isEmpty() ? pending->m_destination : failed, EACCES);
}

void TPendingFile::Commit()
{
    if (m_destination.isEmpty() || m_committed)
        return;
    if (m_name.isEmpty()) {
        // Unnamed: a hidden name beside the destination first, then the
        // destination's name in one step.
        QString linked;
        int error = 0;
        for (int attempt = 0; attempt < NameAttempts && linked.isEmpty(); ++attempt) {
            const QString candidate = PartNameFor(m_destination);
            if (LinkUnnamedFile(m_file.handle(), candidate))
                linked = candidate;
            else if ((error = LastSystemError()) != EEXIST)
                break;
        }
        if (linked.isEmpty())
            ThrowCreateError(m_destination, error);
        m_name = linked;
        AddLeftover(m_name);
    }
    m_file.close();
    // A file that is replaced keeps its permissions.
    if (QFileInfo(m_destination).isFile())
        QFile::setPermissions(m_name, QFile::permissions(m_destination));
    if (!ReplaceFileWith(m_name, m_destination)) {
        const int error = LastSystemError();
        Discard();
        ThrowCreateError(m_destination, error);
    }
    RemoveLeftover(m_name);
    m_name.clear();
    m_committed = true;
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
