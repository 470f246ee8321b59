// Mail folders are whatever Thunderbird (or a broken disk) left behind. The
// streaming scan and rewrite must accept every input and give exactly what a
// plain in-memory model of the rules gives: the same count and the same file.
// The first input byte chooses the unread option and where the read buffers
// split the text does not matter, since inputs are far smaller than a buffer;
// buffer edges are covered by the unit tests.
#include "mailmend/core/MailFolder.h"
#include "tests/mailmend/MailFolderModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

const QString &FolderFile()
{
    static QTemporaryDir *dir = new QTemporaryDir(
        QDir(QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm") : QDir::tempPath())
            .filePath(QStringLiteral("mailmend-fuzz-XXXXXX")));
    static const QString file = dir->filePath(QStringLiteral("Inbox"));
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool markUnread = data[0] & 1;
    const QByteArray input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const QString &file = FolderFile();
    {
        QFile out(file);
        Check(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(out.write(input) == input.size());
    }
    const MailFolderModel::TModelResult model = MailFolderModel::Rewrite(input, markUnread);
    const TScanResult scan = ScanMailFolder(file);
    Check(scan.DeletedCount == model.Deleted);
    Check(scan.LineCount == model.Lines);
    Check(scan.Identity.Size == input.size());
    const qint64 count = RestoreMailFolder(scan, file, markUnread);
    Check(count == model.Deleted);
    QFile in(file);
    Check(in.open(QIODevice::ReadOnly));
    const QByteArray output = in.readAll();
    Check(output == model.Output);
    Check(count == 0 || output.size() == scan.OutputSize);
    return 0;
}
