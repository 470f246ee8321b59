#include "foundation/LangUtils.h"

#include <QLocale>

namespace foundation {

// The first of the user's preferred interface languages ("de-CH").
QString SystemLanguageCode()
{
    const QStringList languages = QLocale::system().uiLanguages();
    return languages.isEmpty() ? QString() : LanguageCodeFromLocaleName(languages.first());
}

} // namespace foundation
