#include "mailmend/core/MailFolder.h"

#include "foundation/LangUtils.h"
#include "foundation/PathUtils.h"
#include "foundation/StringUtils.h"
#include "foundation/TextEncoding.h"
#include "mailmend/core/SummaryDecoder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

// SSE2 is part of every x86-64 processor; GCC and Clang say so with
// __SSE2__, MSVC with _M_X64.
#if defined(__SSE2__) || defined(_M_X64)
#define MAILMEND_SSE2 1
#include <emmintrin.h>
// AVX2 where the processor has it, chosen at run time (GCC and Clang).
#if defined(__GNUC__) && !defined(_WIN32)
#define MAILMEND_AVX2 1
#include <immintrin.h>
#endif
#endif

namespace mailmend {

using namespace foundation;

namespace {

constexpr qint64 ReadBufferSize = qint64(1) << 18;
// Digits are checked through reads of this size, so that the many mails of
// one region of the folder cost one read.
constexpr qint64 VerifyWindowSize = qint64(64) << 10;

constexpr char16_t CR = 0x0D;
constexpr char16_t LF = 0x0A;

// ---------------------------------------------------------------------------
// Code units of the three layouts.

struct TUnit8
{
    static constexpr int Size = 1;
    static char16_t Load(const uchar *p) { return *p; }
#if defined(MAILMEND_SSE2)
    static __m128i Splat(char16_t c) { return _mm_set1_epi8(char(c)); }
    static __m128i Equal(__m128i a, __m128i b) { return _mm_cmpeq_epi8(a, b); }
#endif
};

template <bool BigEndian>
struct TUnit16
{
    static constexpr int Size = 2;
    static char16_t Load(const uchar *p)
    {
        return BigEndian ? char16_t((p[0] << 8) | p[1]) : char16_t(p[0] | (p[1] << 8));
    }
#if defined(MAILMEND_SSE2)
    // SSE2 hosts are little-endian: a big-endian unit loads byte-swapped.
    static __m128i Splat(char16_t c) { return _mm_set1_epi16(short(BigEndian ? char16_t(c << 8) : c)); }
    static __m128i Equal(__m128i a, __m128i b) { return _mm_cmpeq_epi16(a, b); }
#endif
};

// The first CR or LF in [p, end), or end.
template <class U>
const uchar *FindBreak(const uchar *p, const uchar *end)
{
#if defined(MAILMEND_SSE2)
    const __m128i lf = U::Splat(LF);
    const __m128i cr = U::Splat(CR);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_or_si128(U::Equal(v, lf), U::Equal(v, cr))));
        if (mask)
            return p + std::countr_zero(mask);
        p += 16;
    }
#endif
    for (; p < end; p += U::Size) {
        const char16_t c = U::Load(p);
        if (c == LF || c == CR)
            return p;
    }
    return end;
}

template <class U>
bool IsBreakUnit(const uchar *p)
{
    const char16_t c = U::Load(p);
    return c == LF || c == CR;
}

#if defined(MAILMEND_SSE2)
// The first 'F' in [p, end) whose unit before it is a line break, with SSE2
// (every x86-64 has it), or nullptr once fewer than 16 bytes are left; p is
// moved on as far as was searched. The unit before p must be readable.
template <class U>
const uchar *FindBreakFSse2(const uchar *&p, const uchar *end)
{
    const __m128i f = U::Splat(u'F');
    const __m128i lf = U::Splat(LF);
    const __m128i cr = U::Splat(CR);
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p - U::Size));
        const __m128i hits = _mm_and_si128(U::Equal(v, f), _mm_or_si128(U::Equal(before, lf), U::Equal(before, cr)));
        if (const unsigned mask = unsigned(_mm_movemask_epi8(hits)))
            return p + std::countr_zero(mask);
    }
    return nullptr;
}
#endif

#if defined(MAILMEND_AVX2)
// The same for 8-bit units with AVX2, where the processor has it: twice the
// bytes per instruction.
__attribute__((target("avx2"))) const uchar *FindBreakFAvx2(const uchar *&p, const uchar *end)
{
    const __m256i f = _mm256_set1_epi8('F');
    const __m256i lf = _mm256_set1_epi8(char(LF));
    const __m256i cr = _mm256_set1_epi8(char(CR));
    for (; end - p >= 32; p += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p - 1));
        const __m256i hits = _mm256_and_si256(_mm256_cmpeq_epi8(v, f),
                                              _mm256_or_si256(_mm256_cmpeq_epi8(before, lf),
                                                              _mm256_cmpeq_epi8(before, cr)));
        if (const unsigned mask = unsigned(_mm256_movemask_epi8(hits)))
            return p + std::countr_zero(mask);
    }
    return nullptr;
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// The first unit 'F' in [p, end) that starts a line (the unit before it is a
// CR or LF; for p itself prevBreak tells), or end. Only such lines can start
// a message, so a message body is crossed a vector at a time, comparing
// every unit with 'F' and the unit before it with the line breaks. prevBreak
// is updated to what holds for the unit before the result.
template <class U>
const uchar *FindLineStartF(const uchar *p, const uchar *end, bool &prevBreak)
{
    if (p == end)
        return end;
    // The first unit: the one before it lies outside the data.
    if (U::Load(p) == u'F' && prevBreak)
        return p;
    p += U::Size;
    const uchar *found = nullptr;
#if defined(MAILMEND_AVX2)
    if constexpr (U::Size == 1) {
        if (HasAvx2())
            found = FindBreakFAvx2(p, end);
    }
#endif
#if defined(MAILMEND_SSE2)
    if (!found)
        found = FindBreakFSse2<U>(p, end);
#endif
    if (found) {
        prevBreak = true;
        return found;
    }
    bool before = IsBreakUnit<U>(p - U::Size);
    for (; p < end; p += U::Size) {
        const char16_t c = U::Load(p);
        if (c == u'F' && before) {
            prevBreak = true;
            return p;
        }
        before = c == LF || c == CR;
    }
    prevBreak = before;
    return end;
}

// ---------------------------------------------------------------------------
// Status line recognition on the head of one line.

struct TStatusParse
{
    bool IsStatusLine = false; // the line starts with "X-Mozilla-Status:" (any case)
    bool Valid = false;        // its value could be read
    quint32 Value = 0;
    qsizetype LastDigit = -1;  // unit index of the value's last digit
};

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// head holds the first units of the line: all of them when lineComplete,
// else MaxStatusLineHead + 1 of a longer line. The value is the text after
// the header name without leading blanks and control characters, up to ","
// or the end of the line: hex digits, then nothing but blanks. A value not
// decided within MaxStatusLineHead units of the line is unreadable.
template <class U>
TStatusParse ParseStatusLine(const uchar *head, qsizetype units, bool lineComplete)
{
    static constexpr char Prefix[] = "x-mozilla-status:";
    constexpr qsizetype PrefixLength = 17;
    TStatusParse result;
    if (units < PrefixLength)
        return result;
    for (qsizetype i = 0; i < PrefixLength; ++i) {
        char16_t c = U::Load(head + i * U::Size);
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        if (c != char16_t(Prefix[i]))
            return result;
    }
    result.IsStatusLine = true;
    const auto at = [&](qsizetype i) { return U::Load(head + i * U::Size); };
    qsizetype i = PrefixLength;
    while (i < units && at(i) <= 0x20)
        ++i;
    quint64 value = 0;
    qsizetype digits = 0;
    for (; i < units; ++i) {
        const int d = HexDigit(at(i));
        if (d < 0)
            break;
        value = value * 16 + quint64(d);
        if (value > 0xFFFFFFFFu)
            return result;
        ++digits;
        result.LastDigit = i;
    }
    if (digits == 0)
        return result;
    while (i < units && at(i) <= 0x20)
        ++i;
    qsizetype decidedAt;
    if (i < units) {
        if (at(i) != u',')
            return result;
        decidedAt = i + 1;
    } else {
        if (!lineComplete)
            return result;
        decidedAt = units;
    }
    if (decidedAt > MaxStatusLineHead)
        return result;
    result.Valid = true;
    result.Value = quint32(value);
    return result;
}

// ---------------------------------------------------------------------------
// The message structure of a folder, fed buffer by buffer.

template <class U>
class TMessageScanner
{
public:
    TMessageScanner(TScanResult &result, bool summaries, IDeletedMailSink *sink)
        : FResult(result), FSummaries(summaries), FSink(sink)
    {
    }

    qint64 DeletedSeen() const { return FDeletedSeen; }

    // Takes the whole units [data, end) at file offset offset; eof: nothing
    // follows them. Returns the first unit not consumed: the start of a line
    // that cannot be decided before more of it is read (never at eof). The
    // caller passes that line again at the front of the next data.
    const uchar *Feed(const uchar *data, const uchar *end, qint64 offset, bool eof)
    {
        FData = data;
        FOffset = offset;
        const uchar *p = data;
        if (FSkipLF && p < end) {
            FSkipLF = false;
            if (U::Load(p) == LF)
                p += U::Size;
        }
        while (p < end) {
            if (FInLongLine) {
                const uchar *brk = FindBreak<U>(p, end);
                Collect(p, brk);
                if (brk == end)
                    return end;
                FInLongLine = false;
                p = ConsumeBreak(brk, end, eof);
                continue;
            }
            if (FInBody) {
                p = FindLineStartF<U>(p, end, FPrevBreak);
                if (p == end)
                    return end;
            }
            const uchar *next = ProcessLine(p, end, eof);
            if (!next) {
                FPrevBreak = true; // the kept line starts the next data
                return p;
            }
            p = next;
        }
        return p;
    }

    // The text ended at fileSize.
    void Finish(qint64 fileSize)
    {
        EndMessage(fileSize);
        if (FSummaries)
            Deliver(true);
    }

private:
    qint64 OffsetOf(const uchar *p) const { return FOffset + (p - FData); }

    // Decides the line that starts at p; returns where the next line starts
    // (or where the rest of a long line goes on), or nullptr when more of
    // the line is needed.
    const uchar *ProcessLine(const uchar *p, const uchar *end, bool eof)
    {
        constexpr qint64 HeadUnits = MaxStatusLineHead + 1;
        const uchar *limit = end - p > HeadUnits * U::Size ? p + HeadUnits * U::Size : end;
        const uchar *brk = FindBreak<U>(p, limit);
        bool longLine = false;
        if (brk == limit && !(limit == end && eof)) {
            if (limit == end)
                return nullptr; // the head is not complete yet
            longLine = true;    // a break, if any, comes after the head
        }
        Decide(p, brk, !longLine);
        if (longLine) {
            FInLongLine = true;
            Collect(p, limit);
            return limit;
        }
        const uchar *next = ConsumeBreak(brk, end, eof);
        Collect(p, next);
        return next;
    }

    // Steps over the line break at brk (CR LF, lone CR or lone LF).
    const uchar *ConsumeBreak(const uchar *brk, const uchar *end, bool eof)
    {
        if (brk == end)
            return end; // the last line of the file has no break
        const char16_t c = U::Load(brk);
        brk += U::Size;
        FPrevBreak = true;
        if (c == CR) {
            if (brk < end) {
                if (U::Load(brk) == LF)
                    brk += U::Size;
            } else if (!eof) {
                FSkipLF = true;
            }
        }
        return brk;
    }

    static bool StartsWithFrom(const uchar *p, const uchar *end)
    {
        static constexpr char From[] = "From ";
        if (end - p < 5 * U::Size)
            return false;
        for (int i = 0; i < 5; ++i) {
            if (U::Load(p + i * U::Size) != char16_t(From[i]))
                return false;
        }
        return true;
    }

    // The head [p, headEnd) of a line; complete: it is the whole line.
    void Decide(const uchar *p, const uchar *headEnd, bool complete)
    {
        if (StartsWithFrom(p, headEnd)) {
            StartMessage(OffsetOf(p));
            FCollecting = false; // the separator is not part of the header block
            return;
        }
        if (FInBody)
            return;
        if (!FMessageOpen)
            StartMessage(0); // text before the first separator
        FCollecting = FSummaries && FHeader.size() < MaxSummaryHeaderBytes;
        if (complete && headEnd == p) {
            EndHeader();
            FInBody = true;
            FCollecting = false;
            return;
        }
        if (FStatusSeen)
            return;
        const char16_t first = U::Load(p);
        if (first != u'X' && first != u'x')
            return;
        const TStatusParse status = ParseStatusLine<U>(p, (headEnd - p) / U::Size, complete);
        if (!status.IsStatusLine)
            return;
        FStatusSeen = true;
        if (status.Valid && (status.Value & MailFlagDeleted))
            RecordDeleted(status, p);
        // Nothing further in this header block can change the scan: unless
        // the summary of a deleted mail needs the rest of the block, it is
        // crossed like a body, a line start with 'F' at a time.
        if (!(FCurrentDeleted && FSummaries)) {
            FHeader.clear();
            FCollecting = false;
            FInBody = true;
        }
    }

    void RecordDeleted(const TStatusParse &status, const uchar *line)
    {
        TDeletedMail mail;
        mail.Number = ++FDeletedSeen;
        mail.SeparatorOffset = FMessageStart;
        mail.DigitOffset = OffsetOf(line) + status.LastDigit * U::Size;
        mail.Status = status.Value;
        mail.Digit = char(U::Load(line + status.LastDigit * U::Size));
        FResult.Mails.push_back(mail);
        FCurrentDeleted = true;
    }

    void StartMessage(qint64 start)
    {
        EndMessage(start);
        FMessageOpen = true;
        FMessageStart = start;
        FInBody = false;
        FStatusSeen = false;
        FCurrentDeleted = false;
        FSummaryDone = false;
        FHeader.clear();
        ++FResult.MessageCount;
    }

    void EndHeader()
    {
        if (FCurrentDeleted && FSummaries && !FSummaryDone) {
            FDecoder.Submit(HeaderText());
            FSummaryDone = true;
            Deliver(false);
        }
        FHeader.clear();
    }

    void EndMessage(qint64 end)
    {
        if (!FMessageOpen)
            return;
        EndHeader();
        if (FCurrentDeleted) {
            FResult.Mails.back().Size = end - FMessageStart;
            if (FSink)
                HandOver();
        }
        FMessageOpen = false;
    }

    // A streamed scan keeps no mail: the one just ended goes to the sink, or
    // waits for its summary.
    void HandOver()
    {
        if (FSummaries) {
            FEnded.push_back(FResult.Mails.back());
            FResult.Mails.pop_back();
            Deliver(false);
            return;
        }
        FSink->DeletedMail(FResult.Mails.back(), nullptr);
        FResult.Mails.pop_back();
    }

    // Takes the summaries decoded so far (all of them when wait) and pairs
    // them, in order, with the mails: kept in the result, or handed to the
    // sink once the mail has ended too.
    void Deliver(bool wait)
    {
        const TSummaryDecoder::TTake take = [this](TMailSummary &&summary) {
            if (FSink)
                FReady.push_back(std::move(summary));
            else
                FResult.Summaries.push_back(std::move(summary));
        };
        if (wait)
            FDecoder.TakeAll(take);
        else
            FDecoder.TakeReady(take);
        for (; !FEnded.empty() && !FReady.empty(); FEnded.pop_front(), FReady.pop_front())
            FSink->DeletedMail(FEnded.front(), &FReady.front());
    }

    // Adds bytes of the header block for the summary, up to its limit.
    void Collect(const uchar *from, const uchar *to)
    {
        if (!FCollecting || FInBody)
            return;
        const qint64 room = MaxSummaryHeaderBytes - FHeader.size();
        const qint64 count = qMin(qint64(to - from), room);
        if (count > 0)
            FHeader.append(reinterpret_cast<const char *>(from), count);
        if (FHeader.size() >= MaxSummaryHeaderBytes)
            FCollecting = false;
    }

    // The header block as the summary decoding takes it: 8-bit text as it
    // is, 16-bit text as UTF-8.
    QByteArray HeaderText()
    {
        if constexpr (U::Size == 1) {
            return std::exchange(FHeader, QByteArray());
        } else {
            // Whole units only: the block may have been cut inside one.
            const qsizetype units = FHeader.size() / 2;
            QString text(units, Qt::Uninitialized);
            for (qsizetype i = 0; i < units; ++i)
                text[i] = QChar(U::Load(reinterpret_cast<const uchar *>(FHeader.constData()) + 2 * i));
            return text.toUtf8();
        }
    }

    TScanResult &FResult;
    const bool FSummaries;
    IDeletedMailSink *const FSink; // nullptr: the mails are kept in FResult
    TSummaryDecoder FDecoder;
    std::deque<TDeletedMail> FEnded;  // streamed mails waiting for their summary
    std::deque<TMailSummary> FReady;  // streamed summaries waiting for their mail
    qint64 FDeletedSeen = 0;
    const uchar *FData = nullptr;
    qint64 FOffset = 0;
    QByteArray FHeader;
    qint64 FMessageStart = 0;
    bool FMessageOpen = false;
    bool FInBody = false;
    bool FStatusSeen = false;
    bool FCurrentDeleted = false;
    bool FSummaryDone = false;
    bool FCollecting = false;
    bool FInLongLine = false;
    bool FSkipLF = false;
    bool FPrevBreak = true; // the start of the file starts a line
};

// ---------------------------------------------------------------------------

QString ChangedText(const QString &path)
{
    return SafeFormat(Translate("The mail folder \"%s\" was changed since it was scanned. "
                                "Nothing was written; please recover it again."),
                      path);
}

[[noreturn]] void ThrowReadError(const TFolderFile &file)
{
    throw EMailFolderError(SafeFormat(Translate("Cannot read file \"%s\". %s"), file.FileName(),
                                      SystemErrorText(file.LastError())),
                           file.LastError());
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

// Reads the folder from the data already in buffer (filled bytes from the
// start of the file) up to size and feeds its text to the scanner. A line
// that a buffer cuts is moved to the front and completed by the next read.
template <class U>
qint64 RunScan(TFolderFile &file, std::vector<uchar> &buffer, qint64 filled, qint64 size,
               foundation::IProgressMonitor *monitor, TScanResult &result, bool summaries,
               IDeletedMailSink *sink)
{
    TMessageScanner<U> scanner(result, summaries, sink);
    qint64 start = result.BomSize; // first unprocessed byte in buffer
    qint64 offset = 0;             // file position of buffer[0]
    for (;;) {
        const qint64 done = offset + filled;
        const bool eof = done >= size;
        const qint64 whole = (filled - start) / U::Size * U::Size;
        const uchar *tail = scanner.Feed(buffer.data() + start, buffer.data() + start + whole, offset + start, eof);
        foundation::ReportProgress(monitor, done, size);
        if (foundation::IsCancelRequested(monitor))
            throw foundation::ECancelled();
        if (eof) {
            scanner.Finish(size);
            return scanner.DeletedSeen();
        }
        const qint64 keep = buffer.data() + filled - tail;
        std::memmove(buffer.data(), tail, size_t(keep));
        offset = done - keep;
        const qint64 want = qMin(qint64(buffer.size()) - keep, size - done);
        const qint64 got = file.ReadFull(buffer.data() + keep, want);
        if (got < 0)
            ThrowReadError(file);
        if (got < want)
            throw EMailFolderChanged(ChangedText(file.FileName()), 0);
        filled = keep + got;
        start = 0;
    }
}

// The chosen mails of a scan, in file order, without a copy of the list (a
// folder may have a million deleted mails).
class TChosenMails
{
public:
    TChosenMails(const TScanResult &scan, const TMailSelection &selection)
        : FScan(scan), FSelection(selection)
    {
    }
    qint64 Count() const
    {
        return FSelection.IsAll() ? FScan.DeletedCount() : qint64(FSelection.ChosenNumbers().size());
    }
    const TDeletedMail &At(qint64 index) const
    {
        return FSelection.IsAll() ? FScan.Mails[size_t(index)]
                                  : *FScan.MailOf(FSelection.ChosenNumbers()[size_t(index)]);
    }

private:
    const TScanResult &FScan;
    const TMailSelection &FSelection;
};

// Where the digit of a mail is in the file and how it reads: one byte, or
// the two bytes of a 16-bit unit.
struct TDigitBytes
{
    qint64 Offset = 0;
    int Count = 1;
    uchar Bytes[2] = {0, 0};
    qint64 ChangedOffset = 0; // the byte that changes
};

TDigitBytes DigitBytesOf(const TDeletedMail &mail, TFolderEncoding encoding, char digit)
{
    TDigitBytes d;
    d.Offset = mail.DigitOffset;
    d.ChangedOffset = mail.DigitOffset;
    d.Bytes[0] = uchar(digit);
    if (encoding == TFolderEncoding::Utf16LE) {
        d.Count = 2;
    } else if (encoding == TFolderEncoding::Utf16BE) {
        d.Count = 2;
        d.Bytes[0] = 0;
        d.Bytes[1] = uchar(digit);
        d.ChangedOffset = mail.DigitOffset + 1;
    }
    return d;
}

// True when every chosen digit still reads as the scan found it. One read
// covers the digits of a run of close mails and reaches only as far as the
// last of them, so that mails far apart cost a few bytes each.
bool DigitsUnchanged(TFolderFile &file, TFolderEncoding encoding, const TChosenMails &chosen,
                     foundation::IProgressMonitor *monitor)
{
    std::vector<uchar> window(static_cast<size_t>(VerifyWindowSize));
    const qint64 count = chosen.Count();
    for (qint64 first = 0; first < count;) {
        const qint64 windowStart = chosen.At(first).DigitOffset;
        qint64 last = first;
        while (last + 1 < count && chosen.At(last + 1).DigitOffset + 2 <= windowStart + VerifyWindowSize)
            ++last;
        const qint64 wanted = qMin(chosen.At(last).DigitOffset + 2 - windowStart, VerifyWindowSize);
        const qint64 got = file.ReadAt(windowStart, window.data(), wanted);
        if (got < 0)
            ThrowReadError(file);
        for (qint64 i = first; i <= last; ++i) {
            const TDeletedMail &mail = chosen.At(i);
            const TDigitBytes d = DigitBytesOf(mail, encoding, mail.Digit);
            if (d.Offset + d.Count > windowStart + got
                || std::memcmp(window.data() + (d.Offset - windowStart), d.Bytes, size_t(d.Count)) != 0)
                return false;
        }
        if (foundation::IsCancelRequested(monitor))
            throw foundation::ECancelled();
        first = last + 1;
    }
    return true;
}

[[noreturn]] void ThrowWriteError(const TFolderFile &file)
{
    throw EMailFolderError(Translate("Stream write error") + QStringLiteral(": \"") + file.FileName()
                               + QStringLiteral("\". ") + SystemErrorText(file.LastError()),
                           file.LastError());
}

// The folder file itself when the path is a link: its index file lies
// beside it, where Thunderbird keeps it.
QString ResolvedFolderFile(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

// ---------------------------------------------------------------------------

const TMailSummary *TScanResult::SummaryOf(qint64 number) const
{
    if (number < 1 || number > qint64(Summaries.size()))
        return nullptr;
    return &Summaries[size_t(number - 1)];
}

const TDeletedMail *TScanResult::MailOf(qint64 number) const
{
    if (number < 1 || number > DeletedCount())
        return nullptr;
    return &Mails[size_t(number - 1)];
}

void CheckMailSelection(const TScanResult &scan, const TMailSelection &selection)
{
    if (const std::optional<qint64> missing = selection.FirstMissing(scan.DeletedCount()))
        throw EMailSelectionError(SafeFormat(Translate("The mail folder \"%s\" has no deleted mail number %d."),
                                             scan.FileName, *missing),
                                  0);
}

char RestoredStatusDigit(quint32 value, bool markUnread)
{
    return char('0' + (RestoredStatusValue(value, markUnread) & 0x7));
}

QString StatusValueText(quint32 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

QString MailIndexFileName(const QString &folderPath)
{
    const QString index = SetExtension(folderPath, QStringLiteral("msf"), seAddUnlessPresent);
    return index == folderPath ? QString() : index;
}

namespace {

qint64 RunMailFolderScan(const QString &path, foundation::IProgressMonitor *monitor, TScanDetail detail,
                         IDeletedMailSink *sink, TScanResult &result)
{
    TFolderFile file(path, TFolderFile::TAccess::Read);
    result.FileName = path;
    result.Identity = file.Identity();
    if (!result.Identity.IsValid())
        ThrowReadError(file);
    const qint64 size = result.Identity.Size;
    std::vector<uchar> buffer(static_cast<size_t>(ReadBufferSize));
    const qint64 first = qMin(ReadBufferSize, size);
    const qint64 filled = file.ReadFull(buffer.data(), first);
    if (filled < 0)
        ThrowReadError(file);
    if (filled < first)
        throw EMailFolderChanged(ChangedText(path), 0);
    result.Encoding = DetectEncoding(buffer.data(), filled, result.BomSize);
    const bool summaries = detail == TScanDetail::Summaries;
    switch (result.Encoding) {
    case TFolderEncoding::Ansi:
    case TFolderEncoding::Utf8:
        break;
    case TFolderEncoding::Utf16LE:
        return RunScan<TUnit16<false>>(file, buffer, filled, size, monitor, result, summaries, sink);
    case TFolderEncoding::Utf16BE:
        return RunScan<TUnit16<true>>(file, buffer, filled, size, monitor, result, summaries, sink);
    }
    return RunScan<TUnit8>(file, buffer, filled, size, monitor, result, summaries, sink);
}

} // namespace

TScanResult ScanMailFolder(const QString &path, foundation::IProgressMonitor *monitor, TScanDetail detail)
{
    TScanResult result;
    RunMailFolderScan(path, monitor, detail, nullptr, result);
    return result;
}

qint64 ScanMailFolder(const QString &path, IDeletedMailSink &sink, foundation::IProgressMonitor *monitor,
                      TScanDetail detail)
{
    TScanResult result;
    return RunMailFolderScan(path, monitor, detail, &sink, result);
}

qint64 RestoreMailFolder(const TScanResult &scan, const QString &path, bool markUnread,
                         foundation::IProgressMonitor *monitor)
{
    return RestoreMailFolder(scan, path, markUnread, TMailSelection::All(), monitor);
}

qint64 RestoreMailFolder(const TScanResult &scan, const QString &path, bool markUnread,
                         const TMailSelection &selection, foundation::IProgressMonitor *monitor)
{
    CheckMailSelection(scan, selection);
    const TChosenMails chosen(scan, selection);
    if (chosen.Count() == 0)
        return 0;

    TFolderFile file(path, TFolderFile::TAccess::ReadWrite);
    if (!(file.Identity() == scan.Identity) || !DigitsUnchanged(file, scan.Encoding, chosen, monitor)
        || !(file.Identity() == scan.Identity))
        throw EMailFolderChanged(ChangedText(path), 0);

    // From here on every write is one whole change: no cancelling halfway.
    qint64 written = 0;
    for (; written < chosen.Count(); ++written) {
        const TDeletedMail &mail = chosen.At(written);
        const TDigitBytes d = DigitBytesOf(mail, scan.Encoding, RestoredStatusDigit(mail.Status, markUnread));
        const uchar byte = d.Bytes[d.ChangedOffset - d.Offset];
        if (!file.WriteAt(d.ChangedOffset, &byte, 1))
            ThrowWriteError(file);
        if (written % 4096 == 4095)
            foundation::ReportProgress(monitor, written + 1, chosen.Count());
    }
    if (!file.Sync())
        ThrowWriteError(file);
    foundation::ReportProgress(monitor, written, chosen.Count());

    const QString index = MailIndexFileName(ResolvedFolderFile(path));
    if (!index.isEmpty() && QFileInfo::exists(index))
        QFile::remove(index); // a failed deletion is no error
    return written;
}

} // namespace mailmend
