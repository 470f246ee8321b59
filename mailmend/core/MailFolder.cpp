#include "mailmend/core/MailFolder.h"

#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "foundation/StringUtils.h"
#include "foundation/TextEncoding.h"

#include <QFile>
#include <QFileInfo>

#include <bit>
#include <type_traits>
#include <cerrno>
#include <cstring>
#include <vector>

// SSE2 is part of every x86-64 processor; GCC and Clang say so with
// __SSE2__, MSVC with _M_X64.
#if defined(__SSE2__) || defined(_M_X64)
#define MAILMEND_SSE2 1
#include <emmintrin.h>
#endif

namespace {

constexpr qint64 ReadBufferSize = qint64(1) << 20;
constexpr qint64 WriteBufferSize = qint64(1) << 20;

constexpr char16_t CR = 0x0D;
constexpr char16_t LF = 0x0A;

// ---------------------------------------------------------------------------
// Status line recognition, fed one code unit at a time so that a line may
// arrive in pieces from several buffers.

class TStatusLineParser
{
public:
    void Reset()
    {
        FState = State::Prefix;
        FPrefixPos = 0;
        FUnits = 0;
        FValue = 0;
    }

    // Takes the next unit of the line; false once the line is decided.
    bool Feed(char16_t c)
    {
        if (++FUnits > MaxStatusLineHead) {
            FState = State::Invalid;
            return false;
        }
        switch (FState) {
        case State::Prefix:
            if (AsciiLower(c) != Prefix[FPrefixPos]) {
                FState = State::NotStatus;
                return false;
            }
            if (++FPrefixPos == PrefixLength)
                FState = State::LeadBlank;
            return true;
        case State::LeadBlank:
            if (c <= 0x20)
                return true;
            if (HexDigit(c) >= 0) {
                FValue = quint64(HexDigit(c));
                FState = State::Digits;
                return true;
            }
            FState = State::Invalid; // "," right away: empty value
            return false;
        case State::Digits:
            if (HexDigit(c) >= 0) {
                FValue = FValue * 16 + quint64(HexDigit(c));
                if (FValue > 0xFFFFFFFFu) {
                    FState = State::Invalid;
                    return false;
                }
                return true;
            }
            return AfterValue(c);
        case State::TrailBlank:
            return AfterValue(c);
        default:
            return false;
        }
    }

    // The line ended.
    void Finish()
    {
        if (FState == State::Prefix)
            FState = State::NotStatus;
        else if (FState == State::LeadBlank)
            FState = State::Invalid;
        else if (FState == State::Digits || FState == State::TrailBlank)
            FState = State::Valid;
    }

    bool IsDeleted() const { return FState == State::Valid && (FValue & MailFlagDeleted) != 0; }
    quint32 Value() const { return quint32(FValue); }

private:
    enum class State { Prefix, LeadBlank, Digits, TrailBlank, Valid, Invalid, NotStatus };

    static constexpr char Prefix[] = "x-mozilla-status:";
    static constexpr int PrefixLength = 17;

    static char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
    static int HexDigit(char16_t c)
    {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    }

    // After the digits only blanks may follow before the comma or the end.
    bool AfterValue(char16_t c)
    {
        if (c == u',') {
            FState = State::Valid;
            return false;
        }
        if (c <= 0x20) {
            FState = State::TrailBlank;
            return true;
        }
        FState = State::Invalid;
        return false;
    }

    State FState = State::Prefix;
    int FPrefixPos = 0;
    int FUnits = 0;
    quint64 FValue = 0;
};

// ---------------------------------------------------------------------------
// Code units of the three layouts.

struct TUnit8
{
    static constexpr int Size = 1;
#if defined(MAILMEND_SSE2)
    // One bit per byte of the 64 bytes at p: set for CR and LF.
    static quint64 BlockMask(const uchar *p)
    {
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        quint64 mask = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
            mask |= quint64(unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)))))
                    << (16 * i);
        }
        return mask;
    }
#endif
    static char16_t Load(const uchar *p) { return *p; }
    static void Store(char16_t c, uchar *p) { *p = uchar(c); }
    static const uchar *FindBreak(const uchar *p, const uchar *end)
    {
#if defined(MAILMEND_SSE2)
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        while (end - p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const unsigned mask = unsigned(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
            if (mask)
                return p + std::countr_zero(mask);
            p += 16;
        }
#endif
        while (p < end && *p != '\n' && *p != '\r')
            ++p;
        return p;
    }
};

template <bool BigEndian>
struct TUnit16
{
    static constexpr int Size = 2;
#if defined(MAILMEND_SSE2)
    // Two bits per unit of the 32 units at p: set for CR and LF.
    static quint64 BlockMask(const uchar *p)
    {
        const __m128i lf = _mm_set1_epi16(BigEndian ? 0x0A00 : 0x000A);
        const __m128i cr = _mm_set1_epi16(BigEndian ? 0x0D00 : 0x000D);
        quint64 mask = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
            mask |= quint64(unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, lf), _mm_cmpeq_epi16(v, cr)))))
                    << (16 * i);
        }
        return mask;
    }
#endif
    static char16_t Load(const uchar *p)
    {
        return BigEndian ? char16_t((p[0] << 8) | p[1]) : char16_t(p[0] | (p[1] << 8));
    }
    static void Store(char16_t c, uchar *p)
    {
        p[BigEndian ? 0 : 1] = uchar(c >> 8);
        p[BigEndian ? 1 : 0] = uchar(c & 0xFF);
    }
    static const uchar *FindBreak(const uchar *p, const uchar *end)
    {
#if defined(MAILMEND_SSE2)
        // SSE2 hosts are little-endian: a big-endian unit loads byte-swapped.
        const __m128i lf = _mm_set1_epi16(BigEndian ? 0x0A00 : 0x000A);
        const __m128i cr = _mm_set1_epi16(BigEndian ? 0x0D00 : 0x000D);
        while (end - p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const unsigned mask = unsigned(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, lf), _mm_cmpeq_epi16(v, cr))));
            if (mask)
                return p + std::countr_zero(mask);
            p += 16;
        }
#endif
        while (p < end) {
            const char16_t c = Load(p);
            if (c == LF || c == CR)
                return p;
            p += 2;
        }
        return p;
    }
};

// Set bits of a mask that has few of them (line ends in 64 bytes of text);
// faster than a population count without the processor instruction, which
// the x86-64 baseline does not have.
int SparseBitCount(quint64 mask)
{
    int n = 0;
    for (; mask; mask &= mask - 1)
        ++n;
    return n;
}

// Finds line breaks 64 bytes at a time and remembers the last block's mask,
// so that the many short lines of a mail folder cost one block test each.
template <class U>
class TBreakFinder
{
public:
    // Forgets the remembered block (the buffer's content changes).
    void Reset() { FBlock = nullptr; }

    const uchar *Find(const uchar *p, const uchar *end)
    {
#if defined(MAILMEND_SSE2)
        const uchar *q = p;
        if (FBlock && p >= FBlock && p < FBlock + 64) {
            const quint64 mask = FMask & (~quint64(0) << (p - FBlock));
            if (mask)
                return FBlock + std::countr_zero(mask);
            q = FBlock + 64;
        }
        while (end - q >= 64) {
            const quint64 mask = U::BlockMask(q);
            if (mask) {
                FBlock = q;
                FMask = mask;
                return q + std::countr_zero(mask);
            }
            q += 64;
        }
        FBlock = nullptr;
        return U::FindBreak(q, end);
#else
        return U::FindBreak(p, end);
#endif
    }

private:
    const uchar *FBlock = nullptr;
    quint64 FMask = 0;
};

template <class U>
QByteArray Encode(const QByteArray &ascii)
{
    QByteArray out(ascii.size() * U::Size, Qt::Uninitialized);
    for (qsizetype i = 0; i < ascii.size(); ++i)
        U::Store(char16_t(uchar(ascii[i])), reinterpret_cast<uchar *>(out.data()) + i * U::Size);
    return out;
}

// ---------------------------------------------------------------------------
// Where the output of a pass goes.

class TCountingSink
{
public:
    void Copy(const uchar *from, const uchar *to) { FBytes += to - from; }
    void Emit(const QByteArray &bytes) { FBytes += bytes.size(); }
    void Emit(const uchar *data, qint64 count) { FBytes += count; }
    qint64 Bytes() const { return FBytes; }

private:
    qint64 FBytes = 0;
};

QString WriteErrorText(const QString &path, const QString &reason)
{
    return Translate("Stream write error") + QStringLiteral(": \"") + path + QStringLiteral("\". ") + reason;
}

class TWritingSink
{
public:
    explicit TWritingSink(TReplacementFile &file) : FFile(file) { FBuffer.resize(size_t(WriteBufferSize)); }

    void Copy(const uchar *from, const uchar *to) { Emit(from, to - from); }
    void Emit(const QByteArray &bytes) { Emit(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size()); }
    void Emit(const uchar *data, qint64 count)
    {
        if (count <= 0)
            return;
        if (FUsed + count > qint64(FBuffer.size())) {
            Flush();
            if (count >= qint64(FBuffer.size()) / 2) {
                WriteThrough(data, count);
                return;
            }
        }
        std::memcpy(FBuffer.data() + FUsed, data, size_t(count));
        FUsed += count;
    }
    void Flush()
    {
        if (FUsed > 0)
            WriteThrough(FBuffer.data(), FUsed);
        FUsed = 0;
    }
    qint64 Bytes() const { return FBytes + FUsed; }

private:
    void WriteThrough(const uchar *data, qint64 count)
    {
        if (!FFile.Write(data, count))
            throw EMailFolderError(WriteErrorText(FFile.Target(), SystemErrorText(FFile.LastError())),
                                   FFile.LastError());
        FBytes += count;
    }

    TReplacementFile &FFile;
    std::vector<uchar> FBuffer;
    qint64 FUsed = 0;
    qint64 FBytes = 0;
};

// ---------------------------------------------------------------------------
// One pass over the text of a folder: splits it into lines, recognises the
// deleted status lines and produces the rewritten text in the sink (the scan
// only counts it). Line breaks become CR LF; a deleted status line is replaced
// as a whole.

struct TDeletedLines
{
    qint64 Count = 0;
    quint64 Fingerprint = 0;

    void Add(qint64 line, qint64 offset, quint32 value)
    {
        ++Count;
        quint64 h = Fingerprint ^ 0x9E3779B97F4A7C15ull;
        for (const quint64 part : {quint64(line), quint64(offset), quint64(value)}) {
            h ^= part + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
            h *= 0xBF58476D1CE4E5B9ull;
            h ^= h >> 31;
        }
        Fingerprint = h;
    }
};

template <class U, class Sink>
class TFolderPass
{
public:
    TFolderPass(Sink &sink, bool markUnread, const TDeletedLineFunc &onDeleted)
        : FSink(sink), FMarkUnread(markUnread), FOnDeleted(onDeleted),
          FCrLf(Encode<U>("\r\n")), FLf(Encode<U>("\n"))
    {
    }

    // data holds whole units; offset is the file position of data[0].
    void Feed(const uchar *data, qint64 size, qint64 offset)
    {
        const uchar *const end = data + size;
        const uchar *p = data;
        const uchar *copyFrom = data;
        const uchar *lineStart = nullptr; // start of the current line, if it lies in data
        FFinder.Reset();
        while (p < end) {
            if constexpr (std::is_same_v<U, TUnit8> && std::is_same_v<Sink, TCountingSink>) {
                if (!FPendingCR && !FLineOpen) {
                    p = CountPlainLines(p, end, copyFrom);
                    if (p >= end)
                        break;
                }
            }
            if (FPendingCR) {
                FPendingCR = false;
                if (U::Load(p) == LF) { // second half of CR LF
                    p += U::Size;
                    continue;
                }
                FSink.Copy(copyFrom, p); // a lone CR gets its LF
                FSink.Emit(FLf);
                copyFrom = p;
            }
            if (!FLineOpen) {
                FLineOpen = true;
                FLineOffset = offset + (p - data);
                lineStart = p;
                // Only a line that starts like the header can be a status
                // line; all others need no parsing.
                const char16_t first = U::Load(p);
                FParsing = first == u'X' || first == u'x';
                if (FParsing)
                    FParser.Reset();
            }
            if (FParsing) {
                bool decided = false;
                while (p < end) {
                    const char16_t c = U::Load(p);
                    if (c == CR || c == LF) {
                        FParser.Finish();
                        decided = true;
                        break;
                    }
                    p += U::Size;
                    if (!FParser.Feed(c)) {
                        decided = true;
                        break;
                    }
                }
                if (!decided)
                    break; // the line goes on in the next buffer
                Decide(data, copyFrom, lineStart, p);
                if (p >= end)
                    break;
            }
            const uchar *brk = FFinder.Find(p, end);
            if (FSkipping) {
                copyFrom = brk; // the rest of a replaced line is dropped
                if (brk == end)
                    break;
                FSkipping = false;
            }
            p = brk;
            if (p == end)
                break;
            if (U::Load(p) == CR) {
                FPendingCR = true; // CR stays; an LF after it is part of the break
                p += U::Size;
            } else {
                FSink.Copy(copyFrom, p);
                FSink.Emit(FCrLf);
                p += U::Size;
                copyFrom = p;
            }
            FLineOpen = false;
            ++FLineCount;
        }
        if (FParsing) {
            // The undecided head of a line is held until its line is decided.
            const uchar *from = lineStart ? lineStart : data;
            FSink.Copy(copyFrom, from);
            FHeld.insert(FHeld.end(), from, end);
        } else if (!FSkipping) {
            FSink.Copy(copyFrom, end);
        }
    }

    // The text ended.
    void Finish()
    {
        if (FPendingCR) {
            FSink.Emit(FLf);
            FPendingCR = false;
        } else if (FLineOpen) {
            if (FParsing) {
                FParser.Finish();
                const uchar *none = nullptr;
                Decide(nullptr, none, nullptr, nullptr);
            }
            FSink.Emit(FCrLf);
            FLineOpen = false;
            FSkipping = false;
            ++FLineCount;
        }
    }

    qint64 LineCount() const { return FLineCount; }
    const TDeletedLines &Deleted() const { return FDeleted; }

private:
    // The scan of 8-bit text, 64 bytes at a time without a step per line:
    // counts the lines and the bytes the rewrite adds (an LF after each lone
    // CR, a CR before each lone LF) as long as no line starts with "X" or
    // "x". p is a line start; returns the line start where the general path
    // has to go on: a line that may be a status line, or the last line start
    // before the bytes this did not look at.
    const uchar *CountPlainLines(const uchar *p, const uchar *end, const uchar *&copyFrom)
    {
#if defined(MAILMEND_SSE2)
        const uchar *q = p;
        const uchar *resume = p;
        qint64 lines = 0;
        qint64 added = 0;
        bool startAtFirst = true; // q is a line start
        bool previousCR = false;  // the byte before q is a CR
        while (end - q > 64) {    // one byte more, to see what follows a CR at the end
            quint64 lf = 0, cr = 0, x = 0;
            const __m128i lfs = _mm_set1_epi8('\n'), crs = _mm_set1_epi8('\r');
            const __m128i xs = _mm_set1_epi8('x'), caseBit = _mm_set1_epi8(0x20);
            for (int i = 0; i < 4; ++i) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q + 16 * i));
                lf |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lfs)))) << (16 * i);
                cr |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, crs)))) << (16 * i);
                x |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, caseBit), xs)))) << (16 * i);
            }
            const quint64 crBeforeLf = cr & ((lf >> 1) | (quint64(q[64] == '\n') << 63));
            const quint64 loneCR = cr & ~crBeforeLf;
            const quint64 loneLF = lf & ~((cr << 1) | quint64(previousCR));
            const quint64 ends = lf | loneCR; // a CR LF ends its line at the LF
            const quint64 starts = (ends << 1) | quint64(startAtFirst);
            const quint64 candidates = starts & x;
            if (candidates) {
                const int k = std::countr_zero(candidates);
                const quint64 before = k == 0 ? 0 : ~quint64(0) >> (64 - k);
                lines += SparseBitCount(ends & before);
                added += SparseBitCount((loneLF | loneCR) & before);
                resume = q + k;
                break;
            }
            lines += SparseBitCount(ends);
            added += SparseBitCount(loneLF | loneCR);
            if (ends)
                resume = q + (64 - std::countl_zero(ends));
            startAtFirst = (ends >> 63) != 0;
            previousCR = (cr >> 63) != 0;
            q += 64;
        }
        if (resume > p) {
            FSink.Copy(copyFrom, resume);
            FSink.Emit(nullptr, added);
            copyFrom = resume;
            FLineCount += lines;
        }
        return resume;
#else
        Q_UNUSED(end);
        Q_UNUSED(copyFrom);
        return p;
#endif
    }

    // The current line is decided at p: a deleted status line is replaced,
    // any other line is passed on as it is.
    void Decide(const uchar *data, const uchar *&copyFrom, const uchar *lineStart, const uchar *p)
    {
        FParsing = false;
        if (FParser.IsDeleted()) {
            const quint32 value = FParser.Value();
            FDeleted.Add(FLineCount, FLineOffset, value);
            if (FOnDeleted)
                FOnDeleted(FLineCount, FLineOffset, value);
            if (data) {
                const uchar *from = lineStart ? lineStart : data;
                FSink.Copy(copyFrom, from);
            }
            FHeld.clear();
            FSink.Emit(Encode<U>(StatusLineText(RestoredStatusValue(value, FMarkUnread))));
            copyFrom = p;
            FSkipping = true;
        } else if (!FHeld.empty()) {
            // The line began in an earlier buffer; nothing of this buffer has
            // been passed on yet, so its head goes first.
            FSink.Emit(FHeld.data(), qint64(FHeld.size()));
            FHeld.clear();
        }
    }

    Sink &FSink;
    const bool FMarkUnread;
    const TDeletedLineFunc &FOnDeleted;
    const QByteArray FCrLf;
    const QByteArray FLf;
    TStatusLineParser FParser;
    TBreakFinder<U> FFinder;
    std::vector<uchar> FHeld;
    TDeletedLines FDeleted;
    qint64 FLineCount = 0;
    qint64 FLineOffset = 0;
    bool FLineOpen = false;
    bool FPendingCR = false;
    bool FParsing = false;
    bool FSkipping = false;
};

// ---------------------------------------------------------------------------

struct TPassResult
{
    qint64 LineCount = 0;
    TDeletedLines Deleted;
    qint64 OutputBytes = 0;
};

QString ChangedText(const QString &path)
{
    return SafeFormat(Translate("The mail folder \"%s\" was changed since it was scanned. "
                                "Nothing was written; please recover it again."),
                      path);
}

TFolderEncoding DetectEncoding(const uchar *data, qint64 size, int &bomSize)
{
    const TByteOrderMark mark = DetectByteOrderMark(QByteArrayView(data, size));
    bomSize = ByteOrderMarkSize(mark);
    switch (mark) {
    case TByteOrderMark::Utf8:
        return TFolderEncoding::Utf8;
    case TByteOrderMark::Utf16LE:
        return TFolderEncoding::Utf16LE;
    case TByteOrderMark::Utf16BE:
        return TFolderEncoding::Utf16BE;
    case TByteOrderMark::None:
        break;
    }
    return TFolderEncoding::Ansi;
}

// Reads the folder from its start to expectedSize and runs one pass of the
// unit layout U over its text. The byte-order mark is copied first; a last
// byte that completes no UTF-16 unit is copied last.
template <class U, class Sink>
void RunUnits(TFolderReadFile &file, std::vector<uchar> &buffer, qint64 filled, int bomSize,
              qint64 expectedSize, Sink &sink, bool markUnread, const TDeletedLineFunc &onDeleted,
              const TMailProgress &progress, TPassResult &result)
{
    TFolderPass<U, Sink> pass(sink, markUnread, onDeleted);
    sink.Emit(buffer.data(), bomSize);
    qint64 start = bomSize;  // first unprocessed byte in buffer
    qint64 offset = 0;       // file position of buffer[0]
    for (;;) {
        const qint64 whole = (filled - start) / U::Size * U::Size;
        pass.Feed(buffer.data() + start, whole, offset + start);
        const qint64 rest = filled - start - whole;
        const qint64 done = offset + filled;
        if (progress && !progress(done, expectedSize))
            throw EMailFolderCancelled();
        if (done >= expectedSize) {
            pass.Finish();
            sink.Emit(buffer.data() + start + whole, rest);
            break;
        }
        std::memmove(buffer.data(), buffer.data() + start + whole, size_t(rest));
        offset = done - rest;
        const qint64 want = qMin(qint64(buffer.size()) - rest, expectedSize - done);
        const qint64 got = file.ReadFull(buffer.data() + rest, want);
        if (got < 0)
            throw EMailFolderError(SafeFormat(Translate("Cannot read file \"%s\". %s"), file.FileName(),
                                              SystemErrorText(file.LastError())),
                                   file.LastError());
        if (got < want)
            throw EMailFolderChanged(ChangedText(file.FileName()), 0);
        filled = rest + got;
        start = 0;
    }
    result.LineCount = pass.LineCount();
    result.Deleted = pass.Deleted();
    result.OutputBytes = sink.Bytes();
}

template <class Sink>
TPassResult RunPass(TFolderReadFile &file, qint64 expectedSize, Sink &sink, bool markUnread,
                    const TDeletedLineFunc &onDeleted, const TMailProgress &progress,
                    TFolderEncoding &encoding, int &bomSize)
{
    std::vector<uchar> buffer(static_cast<size_t>(ReadBufferSize));
    const qint64 filled = file.ReadFull(buffer.data(), qMin(ReadBufferSize, expectedSize));
    if (filled < 0)
        throw EMailFolderError(SafeFormat(Translate("Cannot read file \"%s\". %s"), file.FileName(),
                                          SystemErrorText(file.LastError())),
                               file.LastError());
    if (filled < qMin(ReadBufferSize, expectedSize))
        throw EMailFolderChanged(ChangedText(file.FileName()), 0);
    encoding = DetectEncoding(buffer.data(), filled, bomSize);
    TPassResult result;
    switch (encoding) {
    case TFolderEncoding::Ansi:
    case TFolderEncoding::Utf8:
        RunUnits<TUnit8>(file, buffer, filled, bomSize, expectedSize, sink, markUnread, onDeleted,
                         progress, result);
        break;
    case TFolderEncoding::Utf16LE:
        RunUnits<TUnit16<false>>(file, buffer, filled, bomSize, expectedSize, sink, markUnread,
                                 onDeleted, progress, result);
        break;
    case TFolderEncoding::Utf16BE:
        RunUnits<TUnit16<true>>(file, buffer, filled, bomSize, expectedSize, sink, markUnread,
                                onDeleted, progress, result);
        break;
    }
    return result;
}

// The folder file itself when the path is a link, so that the link stays and
// the file it points to is replaced.
QString ResolvedFolderFile(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

void ThrowIfChanged(const TScanResult &scan, const TFolderReadFile &file, const QString &target,
                    const QString &shownPath)
{
    const TFileIdentity open = file.Identity();
    if (!(open == scan.Identity) || !(FileIdentityOf(target) == scan.Identity))
        throw EMailFolderChanged(ChangedText(shownPath), 0);
}

} // namespace

// ---------------------------------------------------------------------------

QByteArray StatusLineText(quint32 value)
{
    QByteArray digits = QByteArray::number(value, 16);
    if (digits.size() < 4)
        digits.prepend(QByteArray(4 - digits.size(), '0'));
    return QByteArrayLiteral("X-Mozilla-Status: ") + digits;
}

QString MailIndexFileName(const QString &folderPath)
{
    const QString index = SetExtension(folderPath, QStringLiteral("msf"), seAddUnlessPresent);
    return index == folderPath ? QString() : index;
}

TScanResult ScanMailFolder(const QString &path, const TMailProgress &progress,
                           const TDeletedLineFunc &onDeleted)
{
    TFolderReadFile file(path);
    TScanResult scan;
    scan.FileName = path;
    scan.Identity = file.Identity();
    if (!scan.Identity.IsValid())
        throw EExtFileStreamError::CreateResFmt("Cannot open file \"%s\". %s", 0, path,
                                                SystemErrorText(0));
    TCountingSink sink;
    const TPassResult pass = RunPass(file, scan.Identity.Size, sink, false, onDeleted, progress,
                                     scan.Encoding, scan.BomSize);
    scan.LineCount = pass.LineCount;
    scan.DeletedCount = pass.Deleted.Count;
    scan.DeletedFingerprint = pass.Deleted.Fingerprint;
    scan.OutputSize = pass.OutputBytes;
    return scan;
}

qint64 RestoreMailFolder(const TScanResult &scan, const QString &path, bool markUnread,
                         const TMailProgress &progress)
{
    if (scan.DeletedCount == 0)
        return 0;
    const QString target = ResolvedFolderFile(path);
    RemoveStaleReplacements(target);

    TFolderReadFile file(target);
    ThrowIfChanged(scan, file, target, path);

    const qint64 freeSpace = FreeDiskSpace(QFileInfo(target).absolutePath());
    if (freeSpace >= 0 && freeSpace < scan.OutputSize)
        throw EMailFolderError(WriteErrorText(target, Translate("There is not enough free space on the disk.")),
                               ENOSPC);

    TReplacementFile replacement(target);
    TWritingSink sink(replacement);
    TFolderEncoding encoding;
    int bomSize = 0;
    const TPassResult pass = RunPass(file, scan.Identity.Size, sink, markUnread, {}, progress,
                                     encoding, bomSize);
    sink.Flush();

    // A folder that changed while it was copied, or whose deleted lines are
    // not the ones the scan found, is not replaced.
    if (pass.Deleted.Count != scan.DeletedCount || pass.Deleted.Fingerprint != scan.DeletedFingerprint
        || pass.OutputBytes != scan.OutputSize || encoding != scan.Encoding)
        throw EMailFolderChanged(ChangedText(path), 0);
    ThrowIfChanged(scan, file, target, path);
    // The folder is replaced by a rename, which Windows refuses while the
    // folder file is still open here without delete sharing.
    file.Close();

    if (!replacement.Commit())
        throw EMailFolderError(WriteErrorText(target, SystemErrorText(replacement.LastError())),
                               replacement.LastError());

    const QString index = MailIndexFileName(path);
    if (!index.isEmpty() && QFileInfo::exists(index))
        QFile::remove(index); // a failed deletion is no error
    return pass.Deleted.Count;
}
