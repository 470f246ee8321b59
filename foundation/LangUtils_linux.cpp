#include "foundation/LangUtils.h"

#include <QByteArray>
#include <QString>

// The user's interface language in gettext's order: the first entry of
// LANGUAGE, else the first of LC_ALL, LC_MESSAGES and LANG that is set.
QString SystemLanguageCode()
{
    const QByteArray languages = qgetenv("LANGUAGE");
    if (!languages.isEmpty())
        return LanguageCodeFromLocaleName(QString::fromLocal8Bit(languages.split(':').first()));
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = qgetenv(variable);
        if (!value.isEmpty())
            return LanguageCodeFromLocaleName(QString::fromLocal8Bit(value));
    }
    return {};
}
