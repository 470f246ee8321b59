#include "foundation/LangUtils.h"

#include "foundation/ExecutablePath.h"
#include "foundation/PathUtils.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <clocale>
#include <iterator>
#include <libintl.h>
#include <mutex>
#include <optional>

namespace foundation {

namespace {

struct TTranslationState
{
    std::mutex mutex;
    QList<QByteArray> libraryDomains;
    QList<QByteArray> ignoredClasses;
    QSet<QByteArray> boundDomains;
    QByteArray boundFolder;
    QString programFolder;   // where the catalogues are looked for; empty: the executable's folder
    QString catalogueFolder; // found from it at the first binding; empty: not yet
    // The user's locale variables, kept from before the first change:
    // an empty code hands the choice back to the user's LANGUAGE list, and the
    // system language stays the user's, not the one this program set.
    bool userEnvironmentKept = false;
    std::optional<QByteArray> userEnvironment[std::size(UserLocaleVariables)];
};

// Index of a locale variable in UserLocaleVariables, or -1.
qsizetype UserLocaleVariableIndex(const char *name)
{
    for (qsizetype i = 0; i < qsizetype(std::size(UserLocaleVariables)); ++i) {
        if (qstrcmp(UserLocaleVariables[i], name) == 0)
            return i;
    }
    return -1;
}

void KeepUserEnvironmentLocked(TTranslationState &state)
{
    if (state.userEnvironmentKept)
        return;
    state.userEnvironmentKept = true;
    for (qsizetype i = 0; i < qsizetype(std::size(UserLocaleVariables)); ++i) {
        if (qEnvironmentVariableIsSet(UserLocaleVariables[i]))
            state.userEnvironment[i] = qgetenv(UserLocaleVariables[i]);
    }
}

TTranslationState &State()
{
    static TTranslationState state;
    return state;
}

} // namespace

QString CatalogueFolderOf(const QString &programFolder)
{
    const QString beside = programFolder + QStringLiteral("locale");
    if (QFileInfo(beside).isDir())
        return beside;
    const QString installed = programFolder + QStringLiteral("..") + PathDelim + QStringLiteral("share")
                              + PathDelim + QStringLiteral("locale");
    return QFileInfo(installed).isDir() ? installed : beside;
}

namespace {

// Catalogues lie in <catalogue folder>/<code>/LC_MESSAGES/<domain>.mo.
// A domain is bound when it is first used, and bound again when the
// catalogue folder has changed.
void BindDomainLocked(TTranslationState &state, const QByteArray &domain)
{
    // Found at the first binding, not when the program folder is set: its
    // folders may appear in between (tests make them). Only a folder found
    // anew can differ from the bound one, so lookups compare nothing more.
    if (state.catalogueFolder.isEmpty()) {
        state.catalogueFolder =
            CatalogueFolderOf(state.programFolder.isEmpty() ? ExecutableFolder() : state.programFolder);
        const QByteArray folder = state.catalogueFolder.toUtf8();
        if (folder != state.boundFolder) {
            state.boundFolder = folder;
            state.boundDomains.clear();
        }
    }
    if (state.boundDomains.contains(domain))
        return;
    const QString &folderName = state.catalogueFolder;
#ifdef _WIN32
    // Folder names outside the ANSI code page need the wide form.
    wbindtextdomain(domain.constData(), reinterpret_cast<const wchar_t *>(folderName.utf16()));
#else
    bindtextdomain(domain.constData(), QFile::encodeName(folderName).constData());
#endif
    bind_textdomain_codeset(domain.constData(), "UTF-8");
    state.boundDomains.insert(domain);
}

// "default" first, then the library domains in their order; all bound.
QList<QByteArray> LookupDomains()
{
    TTranslationState &state = State();
    std::lock_guard lock(state.mutex);
    QList<QByteArray> domains{QByteArray(DefaultTextDomain)};
    domains += state.libraryDomains;
    for (const QByteArray &domain : domains)
        BindDomainLocked(state, domain);
    return domains;
}

QByteArray BoundDomain(const char *domain)
{
    const QByteArray name = (domain && *domain) ? QByteArray(domain) : QByteArray(DefaultTextDomain);
    TTranslationState &state = State();
    std::lock_guard lock(state.mutex);
    BindDomainLocked(state, name);
    return name;
}

// gettext gives back the very pointer it was passed when it has no
// translation. The empty text is never looked up: its "translation" is the
// catalogue's header.
const char *LookUpIn(const QList<QByteArray> &domains, const char *text)
{
    for (const QByteArray &domain : domains) {
        const char *translated = dgettext(domain.constData(), text);
        if (translated != text)
            return translated;
    }
    return nullptr;
}

thread_local bool SourceTextsOnly = false;

QString TranslateUtf8(const QList<QByteArray> &domains, const QByteArray &text,
                      const QString &original)
{
    if (SourceTextsOnly)
        return original;
    // gettext reads up to the first NUL: a text holding one is never looked up.
    if (text.isEmpty() || text.contains('\0'))
        return original;
    const char *translated = LookUpIn(domains, text.constData());
    return translated ? QString::fromUtf8(translated) : original;
}

#if defined(LC_MESSAGES) && !defined(_WIN32)
bool IsPlainCLocale(const char *name)
{
    return qstrcmp(name, "C") == 0 || qstrcmp(name, "POSIX") == 0;
}
#endif

// gettext ignores LANGUAGE while the message locale is "C". When the user's
// locale is "C" (or names a locale that is not installed), the messages
// category gets "C.UTF-8" instead; the environment is changed to match so that
// the application object, which applies the environment's locale once more,
// keeps it.
void ActivateMessageLocale()
{
#if defined(LC_MESSAGES) && !defined(_WIN32)
    const char *current = std::setlocale(LC_MESSAGES, "");
    if (current && !IsPlainCLocale(current))
        return;
    if (!std::setlocale(LC_MESSAGES, "C.UTF-8"))
        return;
    const QByteArray all = qgetenv("LC_ALL");
    if (all.isEmpty())
        qputenv("LC_MESSAGES", "C.UTF-8");
    else if (IsPlainCLocale(all.constData()))
        qputenv("LC_ALL", "C.UTF-8");
#endif
}

const char *const TranslatedProperties[] = {
    "text", "title", "windowTitle", "toolTip", "statusTip", "whatsThis", "placeholderText",
};

void TranslateProperties(QObject *object, const char *domain)
{
    const QMetaObject *meta = object->metaObject();
    for (const char *name : TranslatedProperties) {
        const int index = meta->indexOfProperty(name);
        if (index < 0)
            continue;
        const QMetaProperty property = meta->property(index);
        if (!property.isReadable() || !property.isWritable()
            || property.metaType().id() != QMetaType::QString)
            continue;
        const QString value = property.read(object).toString();
        if (value.isEmpty())
            continue;
        const QString translated = TranslateIn(domain, value);
        if (translated != value)
            property.write(object, translated);
    }
}

void TranslateColumnTitles(QAbstractItemModel *model, const char *domain)
{
    const int columns = model->columnCount();
    for (int column = 0; column < columns; ++column) {
        const QVariant title = model->headerData(column, Qt::Horizontal, Qt::DisplayRole);
        if (title.typeId() != QMetaType::QString)
            continue;
        const QString value = title.toString();
        const QString translated = TranslateIn(domain, value);
        if (translated != value)
            model->setHeaderData(column, Qt::Horizontal, translated, Qt::DisplayRole);
    }
}

bool IsIgnored(const QObject *object, const QList<QByteArray> &ignoredClasses)
{
    for (const QByteArray &className : ignoredClasses) {
        if (object->inherits(className.constData()))
            return true;
    }
    return false;
}

void TranslateTree(QObject *object, const char *domain, const QList<QByteArray> &ignoredClasses)
{
    if (IsIgnored(object, ignoredClasses))
        return;
    TranslateProperties(object, domain);
    if (auto *model = qobject_cast<QAbstractItemModel *>(object))
        TranslateColumnTitles(model, domain);
    // Setting a text may add or remove children; walk a guarded copy.
    QList<QPointer<QObject>> children;
    for (QObject *child : object->children())
        children.append(child);
    for (const QPointer<QObject> &child : children) {
        if (child)
            TranslateTree(child, domain, ignoredClasses);
    }
}

struct TLanguageEntry
{
    unsigned primaryLanguage;
    const char *code;
    // Further POSIX language names of the same primary language.
    const char *alias1;
    const char *alias2;
};

constexpr TLanguageEntry LanguageTable[] = {
    {0x02, "bg", nullptr, nullptr}, {0x05, "cs", nullptr, nullptr},
    {0x06, "da", nullptr, nullptr}, {0x07, "de", nullptr, nullptr},
    {0x08, "el", nullptr, nullptr}, {0x09, "en", nullptr, nullptr},
    {0x0A, "es", nullptr, nullptr}, {0x0B, "fi", nullptr, nullptr},
    {0x0C, "fr", nullptr, nullptr}, {0x0E, "hu", nullptr, nullptr},
    {0x10, "it", nullptr, nullptr}, {0x13, "nl", nullptr, nullptr},
    {0x14, "no", "nb", "nn"},       {0x15, "pl", nullptr, nullptr},
    {0x16, "pt", nullptr, nullptr}, {0x18, "ro", nullptr, nullptr},
    {0x19, "ru", nullptr, nullptr}, {0x1A, "hr", "sr", "bs"},
    {0x1B, "sk", nullptr, nullptr}, {0x1C, "sq", nullptr, nullptr},
    {0x1D, "sv", nullptr, nullptr}, {0x1F, "tr", nullptr, nullptr},
    {0x22, "uk", nullptr, nullptr}, {0x24, "sl", nullptr, nullptr},
    {0x25, "et", nullptr, nullptr}, {0x26, "lv", nullptr, nullptr},
    {0x27, "lt", nullptr, nullptr},
};

// A usable language code: one or two ASCII letters, in lower case. Anything
// else (it ends up in a file path and in the environment) counts as no code.
QString NormalizedCode(const QString &text)
{
    const QString code = text.left(2).toLower();
    for (const QChar c : code) {
        if (c < u'a' || c > u'z')
            return {};
    }
    return code;
}

} // namespace

TSourceTextScope::TSourceTextScope() : FPrevious(SourceTextsOnly)
{
    SourceTextsOnly = true;
}

TSourceTextScope::~TSourceTextScope()
{
    SourceTextsOnly = FPrevious;
}

QString Translate(const char *text)
{
    if (!text)
        return {};
    return TranslateUtf8(LookupDomains(), QByteArray::fromRawData(text, qstrlen(text)),
                         QString::fromUtf8(text));
}

QString Translate(const QString &text)
{
    return TranslateUtf8(LookupDomains(), text.toUtf8(), text);
}

QString TranslateIn(const char *domain, const char *text)
{
    if (!text)
        return {};
    return TranslateUtf8({BoundDomain(domain)}, QByteArray::fromRawData(text, qstrlen(text)),
                         QString::fromUtf8(text));
}

QString TranslateIn(const char *domain, const QString &text)
{
    return TranslateUtf8({BoundDomain(domain)}, text.toUtf8(), text);
}

void TranslateWindow(QObject *window, const char *domain)
{
    if (!window)
        return;
    QList<QByteArray> ignoredClasses;
    {
        TTranslationState &state = State();
        std::lock_guard lock(state.mutex);
        ignoredClasses = state.ignoredClasses;
    }
    TranslateTree(window, domain, ignoredClasses);
}

void IgnoreClassForTranslation(const char *className)
{
    if (!className || !*className)
        return;
    TTranslationState &state = State();
    std::lock_guard lock(state.mutex);
    if (!state.ignoredClasses.contains(className))
        state.ignoredClasses.append(className);
}

void AddLibraryDomain(const char *domain)
{
    if (!domain || !*domain)
        return;
    TTranslationState &state = State();
    std::lock_guard lock(state.mutex);
    if (!state.libraryDomains.contains(domain) && qstrcmp(domain, DefaultTextDomain) != 0)
        state.libraryDomains.append(domain);
}

void AddLibraryDomain(const QString &domain)
{
    AddLibraryDomain(domain.toUtf8().constData());
}

QStringList LibraryDomains()
{
    TTranslationState &state = State();
    std::lock_guard lock(state.mutex);
    QStringList domains;
    for (const QByteArray &domain : state.libraryDomains)
        domains.append(QString::fromUtf8(domain));
    return domains;
}

QByteArray UserLocaleVariable(const char *name)
{
    TTranslationState &state = State();
    std::lock_guard lock(state.mutex);
    const qsizetype index = UserLocaleVariableIndex(name);
    if (!state.userEnvironmentKept || index < 0)
        return qgetenv(name);
    return state.userEnvironment[index].value_or(QByteArray());
}

void UseLanguage(const QString &code)
{
    TTranslationState &state = State();
    {
        std::lock_guard lock(state.mutex);
        KeepUserEnvironmentLocked(state);
    }
    ActivateMessageLocale();
    const QString language = NormalizedCode(code);
    {
        std::lock_guard lock(state.mutex);
        const std::optional<QByteArray> &userLanguage =
            state.userEnvironment[UserLocaleVariableIndex("LANGUAGE")];
        if (!language.isEmpty())
            qputenv("LANGUAGE", language.toLatin1());
        else if (userLanguage)
            qputenv("LANGUAGE", *userLanguage);
        else
            qunsetenv("LANGUAGE");
    }
    LookupDomains();
    // Setting the text domain makes gettext drop the translations it has
    // cached, so that the new language applies to texts looked up before.
    textdomain(DefaultTextDomain);
}

QString ChooseLanguage(const QString &cmdCode, const QString &storedCode)
{
    QString code = NormalizedCode(cmdCode);
    if (code.isEmpty())
        code = NormalizedCode(storedCode);
    if (code.isEmpty())
        code = SystemLanguageCode();
    return code;
}

QString LanguageCodeFromPrimaryLanguage(unsigned primaryLanguage)
{
    for (const TLanguageEntry &entry : LanguageTable) {
        if (entry.primaryLanguage == (primaryLanguage & 0x3FF))
            return QString::fromLatin1(entry.code);
    }
    return {};
}

QString LanguageCodeFromLocaleName(const QString &localeName)
{
    qsizetype end = 0;
    while (end < localeName.size() && localeName[end].isLetter())
        ++end;
    const QByteArray language = localeName.left(end).toLower().toLatin1();
    if (language.isEmpty())
        return {};
    for (const TLanguageEntry &entry : LanguageTable) {
        if (language == entry.code || (entry.alias1 && language == entry.alias1)
            || (entry.alias2 && language == entry.alias2))
            return QString::fromLatin1(entry.code);
    }
    return {};
}

void SetCatalogueProgramFolder(const QString &programFolder)
{
    TTranslationState &state = State();
    std::lock_guard lock(state.mutex);
    state.programFolder = programFolder;
    state.catalogueFolder.clear();
}

void ResetTranslationForTesting()
{
    TTranslationState &state = State();
    std::lock_guard lock(state.mutex);
    state.libraryDomains.clear();
    state.ignoredClasses.clear();
    state.boundDomains.clear();
    state.boundFolder.clear();
    state.catalogueFolder.clear();
    state.userEnvironmentKept = false;
    for (std::optional<QByteArray> &value : state.userEnvironment)
        value.reset();
}

} // namespace foundation
