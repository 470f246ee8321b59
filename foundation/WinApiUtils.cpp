#include "foundation/WinApiUtils.h"

bool IsNT4OrLater() { return false; }
bool IsNT5OrLater() { return false; }
bool ReadFileVersionInfo(const QString &, TFileVersionInfo &) { return false; }
QString VersionText(const QString &version, int) { return version; }
const TFileVersionInfo &ProgramVersionInfo() { static TFileVersionInfo info; return info; }
void GetProgramVersion(const QString &, const QString &, const QString &, int, QString &title, QString &dateText)
{
    title.clear();
    dateText.clear();
}
bool IsProgramRunning(const QString &, bool) { return false; }
QString GetProcessImagePath(qint64) { return QString(); }
bool IsProgramRunningIn(const QString &, const QString &, bool) { return false; }
QString GetProcessImagePathIn(const QString &, qint64) { return QString(); }
