#include "dialogs/HandlerGuard.h"

#include "ModalAnswer.h"

#include "foundation/FileUtils.h"
#include "foundation/Progress.h"

#include <QMessageBox>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace foundation;
using namespace dialogs;

namespace {

std::exception_ptr Caught(const std::function<void()> &thrower)
{
    try {
        thrower();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

TEST(ErrorTextOf, GivesTheMessageOfEachKindOfError)
{
    EXPECT_EQ(dialogs::ErrorTextOf(Caught([] {
                  throw ECopyError(QStringLiteral("Error creating \"x\": No space left"), 28);
              })),
              QStringLiteral("Error creating \"x\": No space left"));
    EXPECT_EQ(dialogs::ErrorTextOf(Caught([] { throw std::runtime_error("plain \xc3\xa4"); })),
              QStringLiteral("plain \u00e4"));
    EXPECT_EQ(dialogs::ErrorTextOf(Caught([] { throw 42; })), QStringLiteral("Unknown error"));
    EXPECT_EQ(dialogs::ErrorTextOf(Caught([] { throw std::bad_alloc(); })),
              QStringLiteral("Out of memory"));
}

TEST(ErrorTextOf, CancellationAndNoErrorGiveNothing)
{
    EXPECT_TRUE(dialogs::ErrorTextOf(Caught([] { throw foundation::ECancelled(); })).isEmpty());
    EXPECT_TRUE(dialogs::ErrorTextOf(nullptr).isEmpty());
}

TEST(RunGuarded, ErrorLeavingTheHandlerIsShownInTheErrorBoxAndTheCallerGoesOn)
{
    std::unique_ptr<QWidget> parent(ShowActiveParent());
    QString shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    AnswerModal(QStringLiteral("MessageDialog"), [&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        shown = box->text();
        icon = box->icon();
        box->close();
    });
    bool after = false;
    EXPECT_FALSE(dialogs::RunGuarded([&] {
        throw EExtFileStreamError(QStringLiteral("Cannot open file \"a\". Permission denied"), 13);
        after = true;
    }));
    EXPECT_FALSE(after);
    EXPECT_EQ(shown, QStringLiteral("Cannot open file \"a\". Permission denied"));
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(RunGuarded, HandlerThatEndsNormallyOrIsCancelledShowsNothing)
{
    bool ran = false;
    EXPECT_TRUE(dialogs::RunGuarded([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(dialogs::RunGuarded([] { throw foundation::ECancelled(); }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(Guarded, WrapsACallableForConnect)
{
    int calls = 0;
    auto handler = dialogs::Guarded([&calls] { ++calls; });
    handler();
    handler();
    EXPECT_EQ(calls, 2);
}

} // namespace
