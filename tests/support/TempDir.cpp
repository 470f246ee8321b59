#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void TempDirTest::SetUp()
{
    ASSERT_TRUE(FDir.isValid()) << "cannot create a temporary folder";
}

QString TempDirTest::writeFile(const QString &name, const QByteArray &data) const
{
    const QString full = path(name);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << full.toStdString();
    EXPECT_EQ(file.write(data), data.size());
    return full;
}

QByteArray TempDirTest::readFile(const QString &fullPath)
{
    QFile file(fullPath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << fullPath.toStdString();
    return file.readAll();
}
