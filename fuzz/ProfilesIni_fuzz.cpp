// profiles.ini is read from the user's Thunderbird folder and may hold
// anything. Every input must load without a crash, in every encoding the
// reader detects, and the list must keep its promises: names unique without
// regard to letter case, only existing folders, a default that is in the list.
#include "mailmend/core/ProfilesIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace mailmend;

using namespace mailmend;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

const QTemporaryDir &Folder()
{
    static QTemporaryDir *dir = [] {
        auto *d = new QTemporaryDir(
            QDir(QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm") : QDir::tempPath())
                .filePath(QStringLiteral("mailmend-fuzz-XXXXXX")));
        // Folders that short relative paths in the inputs can name.
        for (const char *name : {"a", "b", "p", "x.default", "Profiles", "Profiles/a.default"})
            QDir(d->path()).mkpath(QLatin1String(name));
        return d;
    }();
    return *dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const bool forceUtf8 : {false, true}) {
        TIniEncoding encoding;
        const TMemIniFile ini(DecodeIniText(bytes, forceUtf8, encoding));
        for (const QString &section : ini.Sections())
            Check(ini.SectionExists(section));
    }

    TThunderbirdFiles files(Folder().path());
    {
        QFile out(files.TbProf);
        Check(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(out.write(bytes) == bytes.size());
    }
    TProfileList list;
    const bool found = LoadProfiles(list, files);
    Check(found == !list.IsEmpty());
    for (int i = 0; i < list.Count(); ++i) {
        Check(list.IndexOf(list.Name(i)) == i);
        Check(QFileInfo(list.Profile(i).FullPath).isDir());
    }
    if (found) {
        const QString def = list.DefaultProfile();
        Check(list.IsInList(def));
        Check(list.Profile(list.IndexOf(def)).Default);
    }
    return 0;
}
