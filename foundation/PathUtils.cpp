#include "foundation/PathUtils.h"

namespace PathRules {
QString AddBackslash(const QString &folder, const TPathStyle &style)
{
    if (folder.isEmpty() || folder.endsWith(style.delim))
        return folder;
    return folder + style.delim;
}
QString GetExtension(const QString &, const TPathStyle &) { return {}; }
QString RemoveExtension(const QString &name, const TPathStyle &) { return name; }
QString ReplaceExtension(const QString &name, const QString &, const TPathStyle &) { return name; }
QString SetExtension(const QString &name, const QString &, int, const TPathStyle &) { return name; }
QString JoinPath(const QString &folder, const QString &name, const TPathStyle &style)
{
    if (name.isEmpty())
        return folder;
    if (folder.isEmpty())
        return name;
    return AddBackslash(folder, style) + name;
}
QString ParentFolder(const QString &path, const TPathStyle &) { return path; }
QString MakeFileName(const QString &, const QString &name, const QString &, const TPathStyle &)
{
    return name;
}
int RootLength(const QString &, const TPathStyle &) { return 0; }
} // namespace PathRules

QString AddBackslash(const QString &folder) { return PathRules::AddBackslash(folder, NativePathStyle); }
QString GetExtension(const QString &name) { return PathRules::GetExtension(name, NativePathStyle); }
QString RemoveExtension(const QString &name) { return PathRules::RemoveExtension(name, NativePathStyle); }
QString ReplaceExtension(const QString &name, const QString &extension)
{
    return PathRules::ReplaceExtension(name, extension, NativePathStyle);
}
QString SetExtension(const QString &name, const QString &extension, int mode)
{
    return PathRules::SetExtension(name, extension, mode, NativePathStyle);
}
QString JoinPath(const QString &folder, const QString &name)
{
    return PathRules::JoinPath(folder, name, NativePathStyle);
}
QString ParentFolder(const QString &path) { return PathRules::ParentFolder(path, NativePathStyle); }
bool IsRealEntryName(const QString &name) { return name != u"." && name != u".."; }
QString MakeFileName(const QString &folder, const QString &name, const QString &extension)
{
    return PathRules::MakeFileName(folder, name, extension, NativePathStyle);
}
QString GetSpecialFolder(int) { return {}; }
QString GetAppDataFolder() { return GetSpecialFolder(sfAppData); }
QString GetDocumentsFolder() { return GetSpecialFolder(sfDocuments); }
QString GetProgramFilesFolder(int) { return {}; }
QString GetWindowsFolder() { return {}; }
QString GetTempFolder() { return {}; }
QString CurrentUserName() { return {}; }
QString ComputerName() { return {}; }
QString GetAllUsersFolder() { return {}; }
QString GetPublicFolder() { return {}; }
