#pragma once

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Base fixture: every test gets a fresh, empty temporary folder that is
// removed afterwards.
class TempDirTest : public ::testing::Test
{
protected:
    void SetUp() override;

    // Full path of the test's folder, without a trailing separator.
    QString dir() const { return FDir.path(); }
    // Full path of a file inside the test's folder.
    QString path(const QString &name) const { return FDir.filePath(name); }
    // Writes bytes to a file inside the test's folder and returns its path.
    QString writeFile(const QString &name, const QByteArray &data) const;
    // Reads a whole file; fails the test when it cannot be read.
    static QByteArray readFile(const QString &fullPath);

private:
    QTemporaryDir FDir;
};
