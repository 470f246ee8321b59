#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// One judgement of a gz file from its analysis: the report's rows show
// stored and computed values side by side; the verdict says whether they
// agree, so that neither a user nor a script has to compare them by eye.

namespace packprobe {

enum class TVerdictState {
    Intact,    // unpacked, the deflate stream ended, every comparable stored value agrees
    Truncated, // the data ends before the deflate stream's end marker
    Mismatch,  // unpacked, but a stored value differs from the data (see Mismatches)
    Error      // the analysis reported an error (its "Error" row or message)
};

// The stored values that can disagree with the data (bit flags).
enum TVerdictMismatch : quint32 {
    MismatchTrailerChecksum = 0x01,        // the trailer's CRC-32 (plain files)
    MismatchTrailerSize = 0x02,            // the trailer's size mod 2^32
    MismatchHeaderCompressedSize = 0x04,   // the header's size subfield, compressed size
    MismatchHeaderUncompressedSize = 0x08, // the header's size subfield, uncompressed size
    MismatchFurtherMember = 0x10           // a further gzip member: the trailer is not the first's
};

enum class TVerdictNoteKind {
    BytesBeforeTrailer, // Bytes lie between the end of the deflate data and the trailer
    FurtherMember,      // a further gzip member follows the first one (not unpacked)
    KeyModeDiffers      // the header's key mode is not the one that opened the file
};

struct TVerdictNote
{
    TVerdictNoteKind Kind = TVerdictNoteKind::BytesBeforeTrailer;
    qint64 Bytes = 0;          // BytesBeforeTrailer
    qint32 StoredKeyMode = 0;  // KeyModeDiffers: 1, 2 or 3 as stored in "QX"
    qint32 UsedKeyMode = 0;    // KeyModeDiffers: the mode that opened the container
};

// What the verdict is judged from. The analysis fills it; anything else that
// unpacks a gz file (a batch check) can fill it the same way.
struct TVerdictInput
{
    // The analysis reported an error; the texts are its "Error" row or
    // message, translated and in English.
    bool Failed = false;
    QString ErrorText;
    QString ErrorTextEnglish;

    bool Encrypted = false;
    // Inflate reached the deflate stream's end marker.
    bool StreamEnded = false;

    quint32 TrailerChecksum = 0;
    quint32 TrailerSize = 0;
    quint32 ComputedChecksum = 0; // plain files only
    qint64 ComputedCompressedSize = 0;
    qint64 ComputedUncompressedSize = 0;

    // The sizes stored in the header's size subfield; nullopt when the header
    // has none (or stores 0) and its value is only derived.
    std::optional<qint64> StoredCompressedSize;
    std::optional<qint64> StoredUncompressedSize;

    // Bytes after the end of the deflate data up to the trailer (plain file)
    // or up to the end of the decrypted container (encrypted file).
    qint64 BytesAfterStream = 0;
    // A gzip header follows the first member's trailer.
    bool FurtherMember = false;

    // Encrypted files: the key mode stored in "QX" (0 automatic) and the one
    // that opened the container.
    qint32 StoredKeyMode = 0;
    qint32 UsedKeyMode = 0;
};

struct TGzVerdict
{
    TVerdictState State = TVerdictState::Error;
    quint32 Mismatches = 0; // TVerdictMismatch flags, for State Mismatch
    QList<TVerdictNote> Notes;
    QString ErrorText;        // State Error: the analysis' text, translated
    QString ErrorTextEnglish; // and in English

    bool Intact() const { return State == TVerdictState::Intact; }
};

TGzVerdict JudgeGzFile(const TVerdictInput &input);

// Texts are given translated for people or in English for scripts.
enum class TTextForm { Translated, English };

// Stable key of the state: "intact", "truncated", "mismatch" or "error" (marked
// for translation too: translated, they are the state words of a --verify line).
QString VerdictStateKey(TVerdictState state);
// The verdict as one line, for example "Intact: every stored value agrees with
// the data" or "Mismatch: checksum in the trailer".
QString VerdictText(const TGzVerdict &verdict, TTextForm form = TTextForm::Translated);
// The names of the values that disagree, comma-separated (empty unless Mismatch).
QString MismatchNamesText(const TGzVerdict &verdict, TTextForm form = TTextForm::Translated);
// The notes, one line each.
QStringList VerdictNoteTexts(const TGzVerdict &verdict, TTextForm form = TTextForm::Translated);

} // namespace packprobe
