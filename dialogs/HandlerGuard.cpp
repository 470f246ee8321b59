#include "dialogs/HandlerGuard.h"

#include "dialogs/MsgDialogs.h"
#include "foundation/FileUtils.h"
#include "foundation/LangUtils.h"
#include "foundation/Progress.h"

#include <new>

namespace dialogs {

using namespace foundation;

QString ErrorTextOf(const std::exception_ptr &error)
{
    if (!error)
        return QString();
    try {
        std::rethrow_exception(error);
    } catch (const foundation::ECancelled &) {
        return QString();
    } catch (const std::bad_alloc &) {
        return TranslateIn(DialogsTextDomain, N_("Out of memory"));
    } catch (const std::exception &e) {
        return foundation::ErrorMessageOf(e);
    } catch (...) {
        return TranslateIn(DialogsTextDomain, N_("Unknown error"));
    }
}

void ShowErrorBox(const QString &message)
{
    QString display = message;
    ErrorDialog(display.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

bool RunGuarded(const std::function<void()> &handler)
{
    std::exception_ptr error;
    try {
        handler();
        return true;
    } catch (...) {
        error = std::current_exception();
    }
    // Shown outside the catch block: the box runs an event loop, in which
    // other handlers may throw and catch.
    const QString text = ErrorTextOf(error);
    if (!text.isEmpty())
        ShowErrorBox(text);
    return false;
}

} // namespace dialogs
