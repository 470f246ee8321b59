#include "foundation/LangUtils.h"

#include <windows.h>

namespace foundation {

QString SystemLanguageCode()
{
    LANGID language = GetUserDefaultUILanguage();
    if (language == 0)
        language = GetUserDefaultLangID();
    return LanguageCodeFromPrimaryLanguage(PRIMARYLANGID(language));
}

} // namespace foundation
