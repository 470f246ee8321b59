#include "dialogs/HandlerGuard.h"

#include "dialogs/MsgDialogs.h"
#include "foundation/FileUtils.h"
#include "foundation/LangUtils.h"
#include "foundation/Progress.h"

namespace dialogs {

void ShowErrorBox(const QString &message)
{
    QString display = message;
    ErrorDialog(display.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

bool RunGuarded(const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const foundation::ECancelled &) {
        return false;
    } catch (const std::exception &error) {
        ShowErrorBox(foundation::ErrorMessageOf(error));
    } catch (...) {
        ShowErrorBox(TranslateIn(DialogsTextDomain, N_("Unknown error")));
    }
    return false;
}

} // namespace dialogs
