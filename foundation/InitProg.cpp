#include "foundation/InitProg.h"

#include <QDir>
#include <QFileInfo>

namespace {
struct StartupValues
{
    QString executablePath;
    QString appSubFolder;
    QString configFile;
    QString languageCode;
};
StartupValues &values()
{
    static StartupValues v{RunningExecutablePath(), {}, {}, {}};
    return v;
}
} // namespace

void InitProgram(const QString &, const QString &, const QStringList &, const QStringList &) {}

QString ProgramFolder()
{
    return QFileInfo(values().executablePath).absolutePath() + QDir::separator();
}
QString ProgramName() { return QFileInfo(values().executablePath).completeBaseName(); }
QString AppSubFolder() { return values().appSubFolder; }
QString ConfigFile() { return values().configFile; }
QString LanguageCode() { return values().languageCode; }
bool MatchOption(QString &, const QString &) { return false; }
bool IsAbbreviation(const QString &, const QString &) { return false; }
QString GetUserAppFolder(const QString &, bool) { return ProgramFolder(); }
void GetUserFolders(QString &appFolder, QString &documentsFolder)
{
    appFolder = ProgramFolder();
    documentsFolder.clear();
}
void ResetStartupValuesForTesting(const QString &executablePath)
{
    values() = StartupValues{executablePath.isEmpty() ? RunningExecutablePath() : executablePath,
                             {}, {}, {}};
}
