// Every object file of every library linked into one program: a function or
// variable that two libraries both define outside their namespaces (or one
// library twice) makes this program fail to link.
#include "mailmend/core/CommandLine.h"
#include "packprobe/core/PackprobeCli.h"

#include "foundation/InitProg.h"

#include <QTextStream>

#include <gtest/gtest.h>

using namespace foundation;
using namespace mailmend;
using namespace packprobe;

TEST(AllLibraries, BothCommandLinesAnswerInOneProgram)
{
    QString outText;
    QString errText;
    QString inText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    QTextStream in(&inText);
    mailmend::TCommandLineIo io{out, err, in, false, {}, {}};
    EXPECT_EQ(mailmend::RunCommandLine({QStringLiteral("mailmend"), QStringLiteral("--bogus")}, io),
              foundation::ExitUsage);
    EXPECT_EQ(mailmend::RunCommandLine({QStringLiteral("mailmend"), QStringLiteral("--version")}, io),
              mailmend::ExitOk);
    out.flush();
    EXPECT_TRUE(outText.contains(QStringLiteral("mailmend"), Qt::CaseInsensitive)) << outText.toStdString();

    packprobe::TCliOptions options;
    QString error;
    EXPECT_FALSE(packprobe::ParseCommandLine({QStringLiteral("--bogus")}, options, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(packprobe::VersionText().startsWith(QStringLiteral("packprobe ")));
}
