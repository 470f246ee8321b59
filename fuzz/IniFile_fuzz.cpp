// Settings files come from anywhere the user (or another program) puts them.
// Every input must parse without a crash; writing the parsed text back must
// give the same sections and values; a written value must read back, and the
// sections that were there must stay.
#include "foundation/IniFile.h"

#include <cstdint>
#include <cstdlib>

using namespace foundation;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckSameContent(const TIniDocument &a, const TIniDocument &b)
{
    const QStringList sections = a.ReadSections();
    Check(sections == b.ReadSections());
    for (const QString &section : sections) {
        const QStringList keys = a.ReadSection(section);
        Check(keys == b.ReadSection(section));
        for (const QString &key : keys) {
            const std::optional<QString> value = a.Value(section, key);
            Check(value.has_value());
            Check(value == b.Value(section, key));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    std::optional<TIniDocument> document = TIniDocument::FromBytes(bytes);
    if (!document)
        return 0;
    const QStringList sections = document->ReadSections();

    const std::optional<TIniDocument> reread = TIniDocument::FromBytes(document->ToBytes());
    Check(reread.has_value());
    CheckSameContent(*document, *reread);

    const QString value = QStringLiteral(" fuzz \"value\" ");
    document->WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), value);
    Check(document->Value(QStringLiteral("fuzz"), QStringLiteral("KEY")) == value);
    for (const QString &section : sections)
        Check(document->SectionExists(section));
    const std::optional<TIniDocument> written = TIniDocument::FromBytes(document->ToBytes());
    Check(written.has_value());
    CheckSameContent(*document, *written);

    if (!sections.isEmpty()) {
        document->EraseSection(sections.first());
        Check(!document->SectionExists(sections.first()));
    }
    return 0;
}
