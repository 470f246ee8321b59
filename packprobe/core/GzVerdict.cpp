#include "packprobe/core/GzVerdict.h"

#include "packprobe/core/GzAnalysis.h"

#include "foundation/LangUtils.h"
#include "foundation/StringUtils.h"

namespace packprobe {

using namespace foundation;

namespace {

// The mismatch flags with their texts, in the order they are named.
struct TMismatchName
{
    TVerdictMismatch Flag;
    const char *Text;
};
constexpr TMismatchName MismatchNames[] = {
    {MismatchTrailerChecksum, N_("checksum in the trailer")},
    {MismatchTrailerSize, N_("size in the trailer")},
    {MismatchHeaderCompressedSize, N_("compressed size in the header")},
    {MismatchHeaderUncompressedSize, N_("uncompressed size in the header")},
    {MismatchFurtherMember, N_("the trailer belongs to a further gzip member")},
};

QString TextIn(TTextForm form, const char *text)
{
    return form == TTextForm::Translated ? Translate(text) : QString::fromUtf8(text);
}

quint32 TrailerMismatches(const TVerdictInput &input)
{
    quint32 flags = 0;
    if (!input.Encrypted && input.TrailerChecksum != input.ComputedChecksum)
        flags |= MismatchTrailerChecksum;
    if (input.TrailerSize != quint32(quint64(input.ComputedUncompressedSize) & 0xFFFFFFFFu))
        flags |= MismatchTrailerSize;
    return flags;
}

// Only sizes the header really stores count: a derived value agrees by
// construction or repeats the trailer.
quint32 HeaderMismatches(const TVerdictInput &input)
{
    quint32 flags = 0;
    if (input.StoredCompressedSize && *input.StoredCompressedSize != input.ComputedCompressedSize)
        flags |= MismatchHeaderCompressedSize;
    if (input.StoredUncompressedSize
        && *input.StoredUncompressedSize != input.ComputedUncompressedSize)
        flags |= MismatchHeaderUncompressedSize;
    return flags;
}

void AddNotes(const TVerdictInput &input, TGzVerdict &verdict)
{
    if (input.FurtherMember) {
        verdict.Notes.append({TVerdictNoteKind::FurtherMember});
    } else if (input.StreamEnded && input.BytesAfterStream > 0) {
        TVerdictNote note{TVerdictNoteKind::BytesBeforeTrailer};
        note.Bytes = input.BytesAfterStream;
        verdict.Notes.append(note);
    }
    const bool storedNamed = input.StoredKeyMode >= 1 && input.StoredKeyMode <= 3;
    if (input.Encrypted && storedNamed && input.UsedKeyMode != input.StoredKeyMode) {
        TVerdictNote note{TVerdictNoteKind::KeyModeDiffers};
        note.StoredKeyMode = input.StoredKeyMode;
        note.UsedKeyMode = input.UsedKeyMode;
        verdict.Notes.append(note);
    }
}

QString NoteText(const TVerdictNote &note, TTextForm form)
{
    switch (note.Kind) {
    case TVerdictNoteKind::BytesBeforeTrailer:
        return SafeFormat(
            TextIn(form, N_("Bytes between the end of the deflate data and the trailer: %d")),
            note.Bytes);
    case TVerdictNoteKind::FurtherMember:
        return TextIn(form,
                      N_("A further gzip member follows the first one; only the first was unpacked."));
    case TVerdictNoteKind::KeyModeDiffers:
        return SafeFormat(
            TextIn(form, N_("The header names the key mode %s, but the file opened with %s.")),
            EncryptionDepthName(note.StoredKeyMode), EncryptionDepthName(note.UsedKeyMode));
    }
    return QString();
}

} // namespace

TGzVerdict JudgeGzFile(const TVerdictInput &input)
{
    TGzVerdict verdict;
    if (input.Failed) {
        verdict.State = TVerdictState::Error;
        verdict.ErrorText = input.ErrorText;
        verdict.ErrorTextEnglish = input.ErrorTextEnglish;
        return verdict;
    }
    AddNotes(input, verdict);
    if (!input.StreamEnded) {
        verdict.State = TVerdictState::Truncated;
        return verdict;
    }
    verdict.Mismatches = TrailerMismatches(input) | HeaderMismatches(input);
    // The last eight bytes are a later member's trailer: whatever they say,
    // they do not vouch for the data that was unpacked.
    if (input.FurtherMember)
        verdict.Mismatches |= MismatchFurtherMember;
    verdict.State = verdict.Mismatches ? TVerdictState::Mismatch : TVerdictState::Intact;
    return verdict;
}

QString VerdictStateKey(TVerdictState state)
{
    switch (state) {
    case TVerdictState::Intact:
        return QStringLiteral(N_("intact"));
    case TVerdictState::Truncated:
        return QStringLiteral(N_("truncated"));
    case TVerdictState::Mismatch:
        return QStringLiteral(N_("mismatch"));
    case TVerdictState::Error:
        break;
    }
    return QStringLiteral(N_("error"));
}

QString MismatchNamesText(const TGzVerdict &verdict, TTextForm form)
{
    QStringList names;
    for (const TMismatchName &name : MismatchNames) {
        if (verdict.Mismatches & name.Flag)
            names.append(TextIn(form, name.Text));
    }
    return names.join(QStringLiteral(", "));
}

QString VerdictText(const TGzVerdict &verdict, TTextForm form)
{
    switch (verdict.State) {
    case TVerdictState::Intact:
        return TextIn(form, N_("Intact: every stored value agrees with the data"));
    case TVerdictState::Truncated:
        return TextIn(form, N_("Truncated: the data ends before the end of the deflate stream"));
    case TVerdictState::Mismatch:
        return SafeFormat(TextIn(form, N_("Mismatch: %s")), MismatchNamesText(verdict, form));
    case TVerdictState::Error:
        break;
    }
    return SafeFormat(TextIn(form, N_("Error: %s")),
                      form == TTextForm::Translated ? verdict.ErrorText : verdict.ErrorTextEnglish);
}

QStringList VerdictNoteTexts(const TGzVerdict &verdict, TTextForm form)
{
    QStringList texts;
    for (const TVerdictNote &note : verdict.Notes)
        texts.append(NoteText(note, form));
    return texts;
}

} // namespace packprobe
