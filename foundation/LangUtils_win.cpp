#include "foundation/LangUtils.h"

#include <windows.h>

QString SystemLanguageCode()
{
    LANGID language = GetUserDefaultUILanguage();
    if (language == 0)
        language = GetUserDefaultLangID();
    return LanguageCodeFromPrimaryLanguage(PRIMARYLANGID(language));
}
