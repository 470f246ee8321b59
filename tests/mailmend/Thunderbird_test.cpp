#include "mailmend/core/Thunderbird.h"

#include "foundation/PathUtils.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

using namespace foundation;
using namespace mailmend;

namespace {

class ThunderbirdTest : public TempDirTest
{
};

#if defined(__linux__)
TEST_F(ThunderbirdTest, LinuxCandidatesAndChoice)
{
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(dir()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("cfg"))));
    const QStringList candidates = ThunderbirdFolderCandidates();
    EXPECT_EQ(candidates, (QStringList{path(QStringLiteral(".thunderbird")), path(QStringLiteral("cfg/thunderbird")),
                                       path(QStringLiteral("snap/thunderbird/common/.thunderbird")),
                                       path(QStringLiteral(".var/app/org.mozilla.Thunderbird/.thunderbird")),
                                       path(QStringLiteral(".var/app/net.thunderbird.Thunderbird/.thunderbird"))}));
    // Nothing exists: the first candidate.
    EXPECT_EQ(FindThunderbirdFolder(), path(QStringLiteral(".thunderbird/")));
    // An existing folder beats a missing one, a folder with profiles.ini beats both.
    QDir(dir()).mkpath(QStringLiteral("cfg/thunderbird"));
    EXPECT_EQ(FindThunderbirdFolder(), path(QStringLiteral("cfg/thunderbird/")));
    writeFile(QStringLiteral(".var/app/net.thunderbird.Thunderbird/.thunderbird/profiles.ini"), "[Profile0]\n");
    EXPECT_EQ(FindThunderbirdFolder(), path(QStringLiteral(".var/app/net.thunderbird.Thunderbird/.thunderbird/")));
    EXPECT_EQ(FindThunderbirdFolder(path(QStringLiteral("own"))), path(QStringLiteral("own/")));
    qputenv("HOME", oldHome);
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST_F(ThunderbirdTest, ProfileLocks)
{
    const QString profile = path(QStringLiteral("Profiles/p.default"));
    const QString folder = writeFile(QStringLiteral("Profiles/p.default/Mail/Local Folders/Inbox"), "");
    EXPECT_EQ(ProfileFolderOf(folder), QString());
    writeFile(QStringLiteral("Profiles/p.default/prefs.js"), "");
    EXPECT_EQ(ProfileFolderOf(folder), profile);
    EXPECT_FALSE(IsProfileLocked(profile));

    // A live fcntl lock on .parentlock, as a running Thunderbird holds it.
    const QString parentLock = writeFile(QStringLiteral("Profiles/p.default/.parentlock"), "");
    const int fd = ::open(QFile::encodeName(parentLock).constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
    EXPECT_TRUE(IsProfileLocked(profile));
    ::close(fd);
    EXPECT_FALSE(IsProfileLocked(profile)); // the file alone is no lock

    // The lock link names a process: live or gone.
    const QString link = path(QStringLiteral("Profiles/p.default/lock"));
    ASSERT_TRUE(QFile::link(QStringLiteral("127.0.0.1:+") + QString::number(::getpid()), link));
    EXPECT_TRUE(IsProfileLocked(profile));
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(QStringLiteral("127.0.0.1:+2147483000"), link));
    EXPECT_FALSE(IsProfileLocked(profile));
}
#endif

} // namespace
