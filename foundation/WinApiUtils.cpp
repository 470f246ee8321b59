#include "foundation/WinApiUtils.h"

#include "foundation/ExecutablePath.h"
#include "foundation/LangUtils.h"
#include "foundation/WinApiUtils_p.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace foundation {

using namespace WinApiUtilsPlatform;

namespace {

TFileVersionInfo &ProgramVersionRecord()
{
    static TFileVersionInfo record;
    return record;
}

#if !defined(Q_OS_WIN)
// Without version resources the running program's strings come from the build.
// The version gets four parts like a Windows file version, so that the levels
// of VersionText mean the same on every platform.
#define MP_STRINGIFY2(x) #x
#define MP_STRINGIFY(x) MP_STRINGIFY2(x)

void FillBuildVersion(TFileVersionInfo &info)
{
    info = TFileVersionInfo();
    info.Description = QStringLiteral(MP_DESCRIPTION);
    info.Version = QStringLiteral(MP_STRINGIFY(MP_VERSION_MAJOR) "." MP_STRINGIFY(
        MP_VERSION_MINOR) "." MP_STRINGIFY(MP_VERSION_PATCH) ".0");
    info.Copyright = QStringLiteral(MP_COPYRIGHT);
}

bool IsRunningExecutable(const QString &file)
{
    const QString running = QFileInfo(RunningExecutablePath()).canonicalFilePath();
    const QString wanted = QFileInfo(file).canonicalFilePath();
    return !running.isEmpty() && running == wanted;
}
#endif

} // namespace

namespace WinApiUtilsPlatform {

bool NamesExecutable(const QString &candidate, const QString &exeName)
{
    return !candidate.isEmpty() && QString::compare(candidate, exeName, Qt::CaseInsensitive) == 0;
}

} // namespace WinApiUtilsPlatform

#if !defined(Q_OS_WIN)
bool IsNT4OrLater()
{
    return false;
}

bool IsNT5OrLater()
{
    return false;
}

bool ReadFileVersionInfo(const QString &file, TFileVersionInfo &info)
{
    if (!IsRunningExecutable(file))
        return false;
    FillBuildVersion(info);
    return true;
}
#endif

QString VersionText(const QString &version, int level)
{
    QString shortened = version;
    if (level <= 3) {
        for (int cuts = 4 - level; cuts > 0; --cuts) {
            const qsizetype dot = shortened.lastIndexOf(QLatin1Char('.'));
            if (dot < 0)
                break;
            shortened.truncate(dot);
        }
    }
    return Translate("Version") + QLatin1Char(' ') + shortened;
}

const TFileVersionInfo &ProgramVersionInfo()
{
    return ProgramVersionRecord();
}

void GetProgramVersion(const QString &name, const QString &fallbackVersion,
                       const QString &fallbackCopyright, int level, QString &title,
                       QString &dateText)
{
    TFileVersionInfo &record = ProgramVersionRecord();
    const QString executable = RunningExecutablePath();
    if (ReadFileVersionInfo(executable, record)) {
        if (record.InternalName.isEmpty())
            record.InternalName = name;
    } else {
        record.InternalName = name;
        record.Version = fallbackVersion;
        record.Copyright = fallbackCopyright;
    }
    record.Comments = VersionText(record.Version, level);
    title = record.InternalName + QStringLiteral(" (") + record.Comments + QLatin1Char(')');
    const QDateTime modified = QFileInfo(executable).lastModified();
    dateText = modified.isValid() ? QLocale().toString(modified.date(), QLocale::ShortFormat)
                                  : QString();
}

} // namespace foundation
