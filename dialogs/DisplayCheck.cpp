#include "dialogs/DisplayCheck.h"

#include "foundation/LangUtils.h"

#include <QtGlobal>

namespace dialogs {

using namespace foundation;

bool DisplayAvailable()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#endif
}

QString NoDisplayText()
{
    return TranslateIn(DialogsTextDomain,
                       N_("No display to show the window on: neither DISPLAY nor WAYLAND_DISPLAY "
                          "is set (QT_QPA_PLATFORM=offscreen runs without one)."));
}

} // namespace dialogs
