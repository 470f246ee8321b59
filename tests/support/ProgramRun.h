#pragma once

#include "support/TempDir.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Base fixture for tests of a program built beside the test programs: runs it
// with arguments and standard input, and keeps what it wrote to standard
// output and standard error.
class ProgramRunTest : public TempDirTest
{
protected:
    // Takes the program of that name from the test programs' folder; skips
    // the test when it has not been built.
    void UseProgram(const QString &name);
    // The exit code, or -1 when the program crashed or did not end.
    int run(const QStringList &arguments, const QByteArray &input = {});

    QString program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QByteArray out;
    QByteArray err;
};
