#include "foundation/LangUtils.h"

QString Translate(const char *text) { return QString::fromUtf8(text); }
QString Translate(const QString &text) { return text; }
QString TranslateIn(const char *, const char *text) { return QString::fromUtf8(text); }
QString TranslateIn(const char *, const QString &text) { return text; }
void TranslateWindow(QObject *, const char *) {}
void IgnoreClassForTranslation(const char *) {}
void AddLibraryDomain(const char *) {}
void AddLibraryDomain(const QString &) {}
QStringList LibraryDomains() { return {}; }
void UseLanguage(const QString &) {}
QString ChooseLanguage(const QString &cmdCode) { return cmdCode; }
QString LanguageCodeFromPrimaryLanguage(unsigned) { return {}; }
QString LanguageCodeFromLocaleName(const QString &) { return {}; }
void ResetTranslationForTesting() {}
