#include "support/ProgramRun.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

void ProgramRunTest::UseProgram(const QString &name)
{
    program = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    if (!QFile::exists(program))
        GTEST_SKIP() << name.toStdString() << " is not built";
}

int ProgramRunTest::run(const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    out = process.readAllStandardOutput();
    err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
