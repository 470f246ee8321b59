#include "foundation/PathUtils.h"

#include <QDir>
#include <QStandardPaths>

namespace foundation {

namespace {

// Index of the dot that starts the extension, or -1 when a separator or the
// start of the name comes first.
qsizetype ExtensionDot(const QString &name, const TPathStyle &style)
{
    for (qsizetype i = name.size() - 1; i >= 0; --i) {
        if (name[i] == u'.')
            return i;
        if (name[i] == style.delim)
            return -1;
    }
    return -1;
}

QString WithoutLeadingDot(const QString &extension)
{
    return extension.startsWith(u'.') ? extension.mid(1) : extension;
}

bool IsDriveLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// End of the "server\share" part that starts at `from`: the index of the
// separator after the share name, or the length of the path.
qsizetype UncRootEnd(const QString &path, qsizetype from, QChar delim)
{
    const qsizetype serverEnd = path.indexOf(delim, from);
    if (serverEnd < 0)
        return path.size();
    const qsizetype shareEnd = path.indexOf(delim, serverEnd + 1);
    return shareEnd < 0 ? path.size() : shareEnd;
}

int WindowsRootLength(const QString &path, QChar delim)
{
    const QString doubleDelim = QString(2, delim);
    const QString longPrefix = doubleDelim + u'?' + delim;
    if (path.startsWith(longPrefix)) {
        const qsizetype rest = longPrefix.size();
        const QString uncPrefix = QStringLiteral("UNC") + delim;
        if (path.mid(rest, uncPrefix.size()).compare(uncPrefix, Qt::CaseInsensitive) == 0)
            return int(UncRootEnd(path, rest + uncPrefix.size(), delim));
        if (path.size() >= rest + 2 && IsDriveLetter(path[rest]) && path[rest + 1] == u':')
            return int(rest + 2);
        return int(rest);
    }
    if (path.startsWith(doubleDelim))
        return int(UncRootEnd(path, 2, delim));
    if (path.startsWith(delim))
        return 1;
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':')
        return 2;
    return 0;
}

} // namespace

namespace PathRules {

QString AddBackslash(const QString &folder, const TPathStyle &style)
{
    if (folder.isEmpty() || folder.endsWith(style.delim))
        return folder;
    return folder + style.delim;
}

QString GetExtension(const QString &name, const TPathStyle &style)
{
    const qsizetype dot = ExtensionDot(name, style);
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString RemoveExtension(const QString &name, const TPathStyle &style)
{
    const qsizetype dot = ExtensionDot(name, style);
    return dot < 0 ? name : name.left(dot);
}

QString ReplaceExtension(const QString &name, const QString &extension, const TPathStyle &style)
{
    if (name.isEmpty())
        return name;
    const QString base = RemoveExtension(name, style);
    const QString ext = WithoutLeadingDot(extension);
    return ext.isEmpty() ? base : base + u'.' + ext;
}

QString SetExtension(const QString &name, const QString &extension, int mode,
                     const TPathStyle &style)
{
    if (name.isEmpty() || extension.isEmpty())
        return name;
    if (mode == seAddUnlessPresent) {
        const QString present = GetExtension(name, style);
        if (!present.isEmpty() && present.compare(extension, Qt::CaseInsensitive) == 0)
            return name;
    } else if (mode == seReplace) {
        return ReplaceExtension(name, extension, style);
    }
    QString result = name;
    if (result.endsWith(u'.'))
        result.chop(1);
    return extension.startsWith(u'.') ? result + extension : result + u'.' + extension;
}

QString JoinPath(const QString &folder, const QString &name, const TPathStyle &style)
{
    if (name.isEmpty())
        return folder;
    if (folder.isEmpty())
        return name;
    return AddBackslash(folder, style) + name;
}

int RootLength(const QString &path, const TPathStyle &style)
{
    if (style.windows)
        return WindowsRootLength(path, style.delim);
    return path.startsWith(style.delim) ? 1 : 0;
}

QString ParentFolder(const QString &path, const TPathStyle &style)
{
    const int root = RootLength(path, style);
    QString shortened = path;
    // The separator that is the root itself ("/", "\") stays.
    if (shortened.size() > root && shortened.endsWith(style.delim))
        shortened.chop(1);
    const qsizetype last = shortened.lastIndexOf(style.delim);
    if (last >= 1 && last >= root)
        return shortened.left(last);
    // A POSIX folder right below the root has the root as its parent; without
    // its separator the root would be an empty text.
    if (!style.windows && root == 1 && last == 0 && shortened.size() > 1)
        return QString(style.delim);
    return shortened;
}

QString MakeFileName(const QString &folder, const QString &name, const QString &extension,
                     const TPathStyle &style)
{
    const QString ext = WithoutLeadingDot(extension);
    QString fileName = name;
    if (!fileName.contains(u'.') && !ext.isEmpty())
        fileName += u'.' + ext;
    const bool absolute =
        fileName.startsWith(style.delim) || (style.windows && fileName.contains(u':'));
    if (absolute || folder.isEmpty())
        return fileName;
    return AddBackslash(folder, style) + fileName;
}

} // namespace PathRules

QString AddBackslash(const QString &folder)
{
    return PathRules::AddBackslash(folder, NativePathStyle);
}

QString GetExtension(const QString &name)
{
    return PathRules::GetExtension(name, NativePathStyle);
}

QString RemoveExtension(const QString &name)
{
    return PathRules::RemoveExtension(name, NativePathStyle);
}

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

QString ParentFolder(const QString &path)
{
    return PathRules::ParentFolder(path, NativePathStyle);
}

bool IsRealEntryName(const QString &name)
{
    return name != u"." && name != u"..";
}

QString MakeFileName(const QString &folder, const QString &name, const QString &extension)
{
    return PathRules::MakeFileName(folder, name, extension, NativePathStyle);
}

namespace {

QString StandardFolder(QStandardPaths::StandardLocation location)
{
    const QString folder = QStandardPaths::writableLocation(location);
    // cleanPath drops trailing separators except the one of a root.
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(QDir::cleanPath(folder));
}

} // namespace

QString GetSpecialFolder(int identifier)
{
    switch (identifier) {
    case sfDesktop:
        return StandardFolder(QStandardPaths::DesktopLocation);
    case sfDocuments:
        return StandardFolder(QStandardPaths::DocumentsLocation);
    case sfLocalAppData:
        return StandardFolder(QStandardPaths::GenericDataLocation);
    case sfProfile:
        return StandardFolder(QStandardPaths::HomeLocation);
    default:
        return PathUtilsPlatform::SpecialFolder(identifier);
    }
}

QString GetAppDataFolder()
{
    return GetSpecialFolder(sfAppData);
}

QString GetDocumentsFolder()
{
    return GetSpecialFolder(sfDocuments);
}

QString GetProgramFilesFolder(int kind)
{
    struct TKind
    {
        const char *variable;
        int fallback;
    };
    static constexpr TKind kinds[] = {
        {nullptr, sfProgramFiles},
        {nullptr, sfProgramFilesCommon},
        {"ProgramFiles(x86)", sfProgramFiles},
        {"CommonProgramFiles(x86)", sfProgramFilesCommon},
        {"ProgramW6432", sfProgramFiles},
        {"CommonProgramW6432", sfProgramFilesCommon},
    };
    const TKind &entry = kind >= 0 && kind <= pfCommonFiles64 ? kinds[kind] : kinds[pfPrograms];
    if (entry.variable) {
        const QString value = qEnvironmentVariable(entry.variable);
        if (!value.isEmpty())
            return value;
    }
    return GetSpecialFolder(entry.fallback);
}

QString GetTempFolder()
{
    // QDir::tempPath() follows the platform's rules (TMPDIR, GetTempPathW).
    return AddBackslash(QDir::toNativeSeparators(QDir::tempPath()));
}

} // namespace foundation
