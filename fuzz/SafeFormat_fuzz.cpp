// Feeds arbitrary patterns to the format-pattern parser. Patterns come from
// translation catalogues, so every input must end in a text, never in a
// crash, an unbounded allocation or an exception.
//
// Input: byte 0 chooses the arguments (bits 0-2: how many, bits 3-5: where in
// the pool they start; bit 6: the pattern is UTF-16 instead of UTF-8), the
// rest is the pattern.

#include "foundation/StringUtils.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

using namespace foundation;

namespace {

TFormatArgs PickArguments(uint8_t selector)
{
    static const TFormatArgs pool = {
        -5,
        7u,
        std::numeric_limits<qint64>::min(),
        std::numeric_limits<quint64>::max(),
        1234567.891,
        QStringLiteral("text"),
        -1e300,
        std::nan(""),
        0,
        QString(),
    };
    const int count = selector & 0x07;
    const int start = (selector >> 3) & 0x07;
    TFormatArgs args;
    for (int i = 0; i < count; ++i)
        args << pool[(start + i) % pool.size()];
    return args;
}

QString PatternFrom(const uint8_t *data, size_t size, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    for (size_t i = 0; i + 1 < size; i += 2)
        text[qsizetype(i / 2)] = QChar(char16_t(data[i] | (data[i + 1] << 8)));
    return text;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t selector = data[0];
    const QString pattern = PatternFrom(data + 1, size - 1, selector & 0x40);
    const TFormatArgs args = PickArguments(selector);

    QString formatted;
    const bool fits = TryFormatArgs(pattern, args, TFormatSettings{}, formatted);
    const QString result = SafeFormatArgs(pattern, args);
    if (fits) {
        Check(result == formatted);
        // Each placeholder takes at least two characters of the pattern and
        // writes at most a bounded field: width and precision are capped, and
        // the widest argument (-1e300 with 4096 decimals and separators) stays
        // well below 8192 characters.
        Check(result.size() <= pattern.size() * 8192 + 1);
        if (!pattern.contains(u'%'))
            Check(result == pattern);
    } else {
        Check(result.endsWith(pattern));
    }

    const int count = int(selector) * 97 - 3000;
    const QString plural = PluralText(pattern, pattern, pattern, count, selector & 0x80);
    Check(plural.size() <= pattern.size() * 8192 + 64);
    return 0;
}
