// Settings files come from anywhere the user (or another program) puts them:
// every read must end without a crash, and a write must leave a file in which
// the written value reads back and the other sections stay readable.
#include "foundation/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

const QString &FuzzFile()
{
    static QTemporaryDir folder;
    static const QString name = folder.filePath(QStringLiteral("fuzz.ini"));
    return name;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString &fileName = FuzzFile();
    {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    TIniFile ini(fileName);
    const QStringList sections = ini.ReadSections();
    for (const QString &section : sections) {
        for (const QString &key : ini.ReadSection(section)) {
            Check(ini.ValueExists(section, key));
            ini.ReadString(section, key, QString());
            ini.ReadInteger(section, key, 0);
        }
    }

    const QString value = QStringLiteral(" fuzz \"value\" ");
    if (ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), value)) {
        Check(ini.ReadString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QString()) == value);
        // Sections before the write are all still there.
        const QStringList after = ini.ReadSections();
        for (const QString &section : sections)
            Check(after.contains(section, Qt::CaseInsensitive));
    }
    if (!sections.isEmpty() && ini.EraseSection(sections.first()))
        Check(!ini.SectionExists(sections.first()));
    return 0;
}
