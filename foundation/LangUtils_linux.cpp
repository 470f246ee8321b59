#include "foundation/LangUtils.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace foundation {

// The user's interface language in gettext's order: the first entry of
// LANGUAGE, else the first of LC_ALL, LC_MESSAGES and LANG that is set.
QString SystemLanguageCode()
{
    // gettext skips empty entries of the list (":de" names German first).
    const QStringList languages =
        QString::fromLocal8Bit(UserLocaleVariable("LANGUAGE")).split(u':', Qt::SkipEmptyParts);
    if (!languages.isEmpty())
        return LanguageCodeFromLocaleName(languages.first());
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = UserLocaleVariable(variable);
        if (!value.isEmpty())
            return LanguageCodeFromLocaleName(QString::fromLocal8Bit(value));
    }
    return {};
}

} // namespace foundation
