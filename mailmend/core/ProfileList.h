#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace mailmend {

// Thunderbird's profiles as listed in its "profiles.ini".

// One profile.
class TMailProfile
{
public:
    TMailProfile(const QString &AProfileName, const QString &APath, const QString &AFull, bool ARelative,
                 bool ADefault);

    QString ProfileName; // the name shown: "Default user" for the default when it was added
    QString Path;        // "Path" as written in profiles.ini
    QString FullPath;    // the profile's folder as an absolute path
    bool Default = false;
    bool Relative = false;
};

// The ordered profile list: entries keep the order in which they were added;
// name lookups ignore letter case and take the first match.
class TProfileList
{
public:
    TProfileList() = default;
    ~TProfileList() { Clear(); }

    TProfileList(const TProfileList &) = delete;
    TProfileList &operator=(const TProfileList &) = delete;

    // Removes every entry. DefProfile is kept, so that a reload of an unchanged
    // file keeps the default chosen before.
    void Clear();
    int Count() const { return int(FEntries.size()); }
    bool IsEmpty() const { return FEntries.empty(); }
    // Entry name (the "Name" of its section) and profile at an index.
    QString Name(int index) const { return FEntries.at(index).Name; }
    const TMailProfile &Profile(int index) const { return *FEntries.at(index).Profile; }

    int AddProfile(const QString &AProfile, const QString &APath, const QString &AFull, bool ARelative,
                   bool ADefault);
    bool NotInList(const QString &AProfile) const { return IndexOf(AProfile) < 0; }
    bool IsInList(const QString &AProfile) const { return IndexOf(AProfile) >= 0; }
    // Index of the first entry of that name (letter case ignored), -1 if none.
    int IndexOf(const QString &AProfile) const;

    QString GetProfileName(const QString &AProfile) const;
    QString GetPathName(const QString &AProfile) const;
    QString GetFullPath(const QString &AProfile) const;
    void SetDefault(const QString &AProfile);
    QString DefaultProfile();

    QString DefProfile;
    // Profile paths that [Install...] sections of profiles.ini name as the
    // profile in use, in file order. Preferred as default when no profile
    // carries the "Default" flag.
    QStringList InstallDefaults;

private:
    QString DisplayName(const QString &name) const;

    struct TEntry
    {
        QString Name;
        std::unique_ptr<TMailProfile> Profile;
    };
    std::vector<TEntry> FEntries;
};

// "<Thunderbird>/": the prefix of a relative path shown to the user.
inline constexpr char ThunderbirdPathPrefix[] = "<Thunderbird>/";

} // namespace mailmend
