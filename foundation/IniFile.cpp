#include "foundation/IniFile.h"

TIniFile::TIniFile(const QString &fileName) : m_fileName(fileName) {}

QString TIniFile::ReadString(const QString &, const QString &, const QString &def) const { return def; }
int TIniFile::ReadInteger(const QString &, const QString &, int def) const { return def; }
bool TIniFile::ReadBool(const QString &, const QString &, bool def) const { return def; }
bool TIniFile::WriteString(const QString &, const QString &, const QString &) { return false; }
bool TIniFile::WriteInteger(const QString &, const QString &, int) { return false; }
bool TIniFile::WriteBool(const QString &, const QString &, bool) { return false; }
bool TIniFile::EraseSection(const QString &) { return false; }
bool TIniFile::DeleteKey(const QString &, const QString &) { return false; }
QStringList TIniFile::ReadSection(const QString &) const { return {}; }
QStringList TIniFile::ReadSections() const { return {}; }
bool TIniFile::SectionExists(const QString &) const { return false; }
bool TIniFile::ValueExists(const QString &, const QString &) const { return false; }
