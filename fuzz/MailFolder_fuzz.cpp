// Mail folders are whatever Thunderbird (or a broken disk) left behind. The
// streaming scan and the in-place recovery must accept every input and give
// exactly what a plain in-memory model of the rules gives: the same deleted
// mails and the same file afterwards, in which only status digits changed.
// The first input byte chooses the unread option and whether the header
// summaries are read too; where the read buffers split the text does not
// matter, since inputs are far smaller than a buffer; buffer edges are
// covered by the unit tests.
#include "mailmend/core/MailFolder.h"
#include "tests/mailmend/MailFolderModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace foundation;
using namespace mailmend;

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
    const bool summaries = data[0] & 2;
    const QByteArray input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const QString &file = FolderFile();
    {
        QFile out(file);
        Check(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(out.write(input) == input.size());
    }
    const MailFolderModel::TModelResult model = MailFolderModel::Scan(input, markUnread);
    const mailmend::TScanResult scan = mailmend::ScanMailFolder(
        file, nullptr, summaries ? mailmend::TScanDetail::Summaries : mailmend::TScanDetail::StatusOnly);
    Check(scan.MessageCount == model.Messages);
    Check(scan.DeletedCount() == qint64(model.Deleted.size()));
    Check(scan.Summaries.size() == (summaries ? scan.Mails.size() : 0));
    for (size_t i = 0; i < scan.Mails.size(); ++i) {
        const mailmend::TDeletedMail &mail = scan.Mails[i];
        Check(mail.Number == qint64(i) + 1);
        Check((MailFolderModel::TModelMail{mail.SeparatorOffset, mail.DigitOffset, mail.Size, mail.Status,
                                           mail.Digit}) == model.Deleted[i]);
    }
    Check(mailmend::RestoreMailFolder(scan, file, markUnread) == scan.DeletedCount());
    QFile in(file);
    Check(in.open(QIODevice::ReadOnly));
    Check(in.readAll() == model.Recovered);
    return 0;
}
