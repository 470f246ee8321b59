#include "mailmend/core/ProfileList.h"

#include "foundation/LangUtils.h"

namespace mailmend {

using namespace foundation;

TMailProfile::TMailProfile(const QString &AProfileName, const QString &APath, const QString &AFull,
                           bool ARelative, bool ADefault)
    : ProfileName(AProfileName), Path(APath), FullPath(AFull), Default(ADefault), Relative(ARelative)
{
}

void TProfileList::Clear()
{
    FEntries.clear();
}

int TProfileList::IndexOf(const QString &AProfile) const
{
    for (size_t i = 0; i < FEntries.size(); ++i) {
        if (FEntries[i].Name.compare(AProfile, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QString TProfileList::DisplayName(const QString &name) const
{
    if (name.compare(DefProfile, Qt::CaseInsensitive) == 0)
        return Translate("Default user");
    return name;
}

int TProfileList::AddProfile(const QString &AProfile, const QString &APath, const QString &AFull,
                             bool ARelative, bool ADefault)
{
    if (DefProfile.isEmpty() && ADefault)
        DefProfile = AProfile;
    FEntries.push_back(
        {AProfile, std::make_unique<TMailProfile>(DisplayName(AProfile), APath, AFull, ARelative, ADefault)});
    return int(FEntries.size()) - 1;
}

QString TProfileList::GetProfileName(const QString &AProfile) const
{
    const int i = IndexOf(AProfile);
    return i < 0 ? AProfile : DisplayName(FEntries[size_t(i)].Profile->ProfileName);
}

QString TProfileList::GetPathName(const QString &AProfile) const
{
    const int i = IndexOf(AProfile);
    if (i < 0)
        return {};
    const TMailProfile &profile = *FEntries[size_t(i)].Profile;
    return profile.Relative ? QLatin1String(ThunderbirdPathPrefix) + profile.Path : profile.Path;
}

QString TProfileList::GetFullPath(const QString &AProfile) const
{
    const int i = IndexOf(AProfile);
    return i < 0 ? QString() : FEntries[size_t(i)].Profile->FullPath;
}

void TProfileList::SetDefault(const QString &AProfile)
{
    const int i = IndexOf(AProfile);
    if (i >= 0) {
        for (TEntry &entry : FEntries)
            entry.Profile->Default = false;
        FEntries[size_t(i)].Profile->Default = true;
    }
    DefProfile = AProfile;
}

namespace {

// The extension from the last dot, provided no backslash or colon follows it.
QString PathExtension(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString extension = path.mid(dot);
    if (extension.contains(u'\\') || extension.contains(u':'))
        return {};
    return extension;
}

} // namespace

QString TProfileList::DefaultProfile()
{
    QString result;
    if (FEntries.empty())
        return result;
    if (FEntries.size() == 1) {
        result = FEntries.front().Name;
    } else if (!DefProfile.isEmpty() && IsInList(DefProfile)) {
        // A default that names no profile any more (left from an earlier
        // reading) would select nothing; the rules below choose then.
        result = DefProfile;
    } else {
        for (const QString &path : InstallDefaults) {
            for (const TEntry &entry : FEntries) {
                if (result.isEmpty() && entry.Profile->Path == path)
                    result = entry.Name;
            }
        }
        if (result.isEmpty() && IsInList(QStringLiteral("default")))
            result = FEntries[size_t(IndexOf(QStringLiteral("default")))].Name;
        for (size_t i = 0; result.isEmpty() && i < FEntries.size(); ++i) {
            if (PathExtension(FEntries[i].Profile->Path).compare(QStringLiteral(".default"), Qt::CaseInsensitive) == 0)
                result = FEntries[i].Name;
        }
        if (result.isEmpty())
            result = FEntries.front().Name;
    }
    SetDefault(result);
    return result;
}

} // namespace mailmend
