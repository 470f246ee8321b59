#include "packprobe/core/ExtFileTools.h"

#include "packprobe/core/ExtFileDevice.h"

#include "foundation/FileUtils.h"
#include "foundation/LangUtils.h"
#include "foundation/StringUtils.h"

#include <QIODevice>
#include <QtEndian>

#include <array>
#include <cstring>
#include <memory>

namespace packprobe {

using namespace foundation;

namespace {

// Bounded reads over a device through a small buffer of its own (the
// devices are unbuffered), with a failure flag that stays set: the parser
// checks it once per step instead of after every byte. finish() moves the
// device to the first byte not consumed.
class THeaderReader
{
public:
    explicit THeaderReader(QIODevice &device) : FDevice(device), FStart(device.pos()) {}

    bool failed() const { return FFailed; }
    void fail() { FFailed = true; }
    // The device reported an error (not just the end of its data).
    bool readError() const { return FReadError; }
    // Bytes delivered so far, including those of a failed short read.
    qint64 consumed() const { return FConsumed; }

    quint8 byte()
    {
        if (FFailed || (FPos == FLength && !refill())) {
            FFailed = true;
            return 0;
        }
        ++FConsumed;
        return FBuffer[FPos++];
    }
    quint16 word()
    {
        std::array<uchar, 2> b{};
        readInto(b.data(), b.size());
        return qFromLittleEndian<quint16>(b.data());
    }
    qint64 int64()
    {
        std::array<uchar, 8> b{};
        readInto(b.data(), b.size());
        return qFromLittleEndian<qint64>(b.data());
    }
    // Copies count bytes (target may be null to skip them).
    void readInto(uchar *target, qint64 count)
    {
        while (!FFailed && count > 0) {
            if (FPos == FLength && !refill()) {
                FFailed = true;
                break;
            }
            const qint64 piece = qMin(count, FLength - FPos);
            if (target) {
                std::memcpy(target, FBuffer.data() + FPos, size_t(piece));
                target += piece;
            }
            FPos += piece;
            FConsumed += piece;
            count -= piece;
        }
    }
    void skip(qint64 count) { readInto(nullptr, count); }
    // Bytes up to a zero byte, which is consumed too. Fails at the end of the
    // data and when more than limit bytes come before the zero.
    QByteArray zeroTerminated(qint64 limit, bool keep)
    {
        QByteArray text;
        qint64 count = 0;
        while (!FFailed) {
            if (FPos == FLength && !refill()) {
                FFailed = true;
                break;
            }
            const auto *begin = FBuffer.data() + FPos;
            const auto *zero = static_cast<const uchar *>(std::memchr(begin, 0, size_t(FLength - FPos)));
            const qint64 piece = zero ? zero - begin : FLength - FPos;
            count += piece;
            if (count > limit) {
                FFailed = true;
                break;
            }
            if (keep)
                text.append(reinterpret_cast<const char *>(begin), piece);
            FPos += piece;
            FConsumed += piece;
            if (zero) {
                ++FPos;
                ++FConsumed;
                break;
            }
        }
        return text;
    }
    bool finish() { return FDevice.seek(FStart + FConsumed); }

private:
    bool refill()
    {
        FPos = 0;
        const qint64 got = FDevice.read(reinterpret_cast<char *>(FBuffer.data()),
                                         qint64(FBuffer.size()));
        FReadError = FReadError || got < 0;
        FLength = qMax<qint64>(0, got);
        return FLength > 0;
    }

    QIODevice &FDevice;
    const qint64 FStart;
    std::array<uchar, 4096> FBuffer{};
    qint64 FPos = 0;
    qint64 FLength = 0;
    qint64 FConsumed = 0;
    bool FFailed = false;
    bool FReadError = false;
};

// Walks the extra subfields. The two known ones are consumed with their
// fixed sizes whatever their stored length says; a subfield that does not fit
// into the XLEN bytes left fails the reader.
void ReadExtraField(THeaderReader &reader, qint64 &cSize, qint64 &uSize, quint16 &keyMode)
{
    int remaining = reader.word();
    while (!reader.failed() && remaining > 2) {
        const quint16 id = reader.word();
        remaining -= 2;
        int needed = 0;
        if (id == GzSubfieldSizes)
            needed = 2 + 16;
        else if (id == GzSubfieldKeyMode)
            needed = 2 + 2;
        else
            needed = 2;
        if (needed > remaining) {
            reader.fail();
            break;
        }
        const quint16 length = reader.word();
        remaining -= 2;
        if (id == GzSubfieldSizes) {
            cSize = reader.int64();
            uSize = reader.int64();
            remaining -= 16;
        } else if (id == GzSubfieldKeyMode) {
            keyMode = reader.word();
            remaining -= 2;
        } else {
            if (length > remaining) {
                reader.fail();
                break;
            }
            reader.skip(length);
            remaining -= length;
        }
    }
    reader.skip(remaining);
}

} // namespace

int ReadGzHeader(QIODevice &stream, QString &name, quint32 &unixTime, qint32 &encMode,
                 qint64 &cSize, qint64 &uSize)
{
    quint16 keyModeWord = 0;
    return ReadGzHeader(stream, name, unixTime, encMode, cSize, uSize, keyModeWord);
}

namespace {

// ReadGzHeader; uSizeStored and cSizeStored tell whether the sizes came from
// the header.
int ReadHeaderFields(QIODevice &stream, QString &name, quint32 &unixTime, qint32 &encMode,
                     qint64 &cSize, qint64 &uSize, quint16 &keyModeWord, bool &uSizeStored,
                     bool &cSizeStored)
{
    uSizeStored = false;
    cSizeStored = false;
    name.clear();
    unixTime = 0;
    keyModeWord = 0;

    THeaderReader reader(stream);
    std::array<uchar, 10> fixed{};
    reader.readInto(fixed.data(), qint64(fixed.size()));
    // A device that fails before two bytes came is unreadable, not a foreign file.
    if (reader.consumed() < 2 && reader.readError())
        return GzHeaderReadError;
    if (reader.consumed() < 2 || qFromLittleEndian<quint16>(fixed.data()) != 0x8B1F)
        return GzHeaderIllegal;
    if (reader.failed())
        return GzHeaderReadError;

    const quint8 flags = fixed[3];
    const quint8 os = fixed[9];
    unixTime = qFromLittleEndian<quint32>(fixed.data() + 4);
    cSize = 0;
    uSize = 0;

    if (flags & GzFlagExtra)
        ReadExtraField(reader, cSize, uSize, keyModeWord);
    QByteArray rawName;
    if (flags & GzFlagName)
        rawName = reader.zeroTerminated(MaxGzNameBytes, true);
    if (flags & GzFlagComment)
        reader.zeroTerminated(MaxGzCommentBytes, false);
    if (flags & GzFlagHeaderCrc)
        reader.skip(2);
    if (reader.failed() || !reader.finish())
        return GzHeaderReadError;

    encMode = (flags & GzFlagEncrypted) ? qint32(keyModeWord) : -1;
    name = os == 0 ? LegacyCodePageToUnicode(rawName) : QString::fromUtf8(rawName);

    const qint64 dataStart = stream.pos();
    const qint64 fileSize = stream.size();
    if (dataStart < 0 || fileSize < dataStart)
        return GzHeaderReadError;
    cSizeStored = cSize != 0;
    // Negative for a file too short to hold a trailer after the header: the
    // user sees the damage instead of a plausible size.
    if (cSize == 0)
        cSize = fileSize - dataStart - 8;
    uSizeStored = uSize != 0;
    if (uSize == 0) {
        std::array<uchar, 4> tail{};
        if (fileSize < 4 || !stream.seek(fileSize - 4)
            || stream.read(reinterpret_cast<char *>(tail.data()), 4) != 4
            || !stream.seek(dataStart))
            return GzHeaderReadError;
        uSize = qFromLittleEndian<quint32>(tail.data());
    }
    return GzHeaderOk;
}

} // namespace

int ReadGzHeader(QIODevice &stream, QString &name, quint32 &unixTime, qint32 &encMode,
                 qint64 &cSize, qint64 &uSize, quint16 &keyModeWord)
{
    bool uSizeStored = false;
    bool cSizeStored = false;
    return ReadHeaderFields(stream, name, unixTime, encMode, cSize, uSize, keyModeWord,
                            uSizeStored, cSizeStored);
}

bool GetGzInfo(QIODevice &stream, TGzFileInfo &info, int *lastCode)
{
    info.Count = 1;
    info.Attr = 0xFFFF;
    quint16 keyModeWord = 0;
    const int code = ReadHeaderFields(stream, info.Filename, info.UnixTime, info.EncMode,
                                      info.CSize, info.USize, keyModeWord, info.USizeStored,
                                      info.CSizeStored);
    if (lastCode)
        *lastCode = code;
    if (code != GzHeaderOk)
        return false;
    info.Encrypted = info.EncMode >= 0;
    return true;
}

bool ReadGzInfo(const QString &fileName, TGzFileInfo &info, int *lastCode)
{
    bool ok = false;
    {
        TExtFileDevice stream(LongPathName(fileName), fmOpenRead | fmShareDenyNone);
        ok = GetGzInfo(stream, info, lastCode);
    }
    if (ok) {
        const quint32 attributes = FileAttributesNoFollow(fileName);
        info.Attr = attributes == 0xFFFFFFFFu ? quint16(0xFFFF) : quint16(attributes & 0xFFFF);
    }
    return ok;
}

bool ReadGzTrailer(const QString &fileName, quint32 &checksum, quint32 &size)
{
    TExtFileDevice stream(LongPathName(fileName), fmOpenRead | fmShareDenyNone);
    const qint64 fileSize = stream.size();
    std::array<uchar, 8> trailer{};
    if (fileSize < 8 || !stream.seek(fileSize - 8)
        || stream.read(reinterpret_cast<char *>(trailer.data()), 8) != 8)
        return false;
    checksum = qFromLittleEndian<quint32>(trailer.data());
    size = qFromLittleEndian<quint32>(trailer.data() + 4);
    return true;
}

// ---------------------------------------------------------------------------
// Error texts

namespace {

const char *const ErrorNumberTexts[] = {
    nullptr,
    N_("Could not create file"),
    N_("Could not open file"),
    N_("Could not close file"),
    N_("Could not read from file"),
    N_("Could not write to file"),
    N_("Attributes could not be set"),
    N_("Low disk space"),
    N_("Illegal file header"),
    N_("Corrupt file"),
    N_("Encryption failed"),
    N_("Decryption failed"),
    N_("Verification failed"),
    N_("Path too long"),
    N_("File not found"),
    N_("Timestamp could not be set"),
    N_("Error copying document summary"),
    N_("Timeout error on copying file"),
    N_("Undefined stream"),
    N_("Permissions could not be copied"),
    N_("File already exists"),
    N_("Size mismatch"),
    N_("Could not open destination file for verification"),
    N_("Could not create directory"),
    N_("Could not read from FTP"),
    N_("Could not write to FTP"),
    N_("Could not connect to FTP server"),
    N_("FTP connection was closed by server"),
    N_("Could not open FTP data connection"),
    N_("Timeout error on copying file via FTP"),
    N_("Different content"),
    N_("Error creating new zip segment"),
    N_("Illegal zip signature"),
    N_("Could not extract file"),
    N_("Unsupported file format"),
    N_("Could not rename temporary file"),
    N_("Error reading next zip segment"),
    N_("Error copying alternate data streams"),
    N_("Error deleting file"),
};
constexpr quint32 LastNumberedError = 38;
constexpr quint32 UserBreakError = 128;

QString SeverityPrefix(quint32 code)
{
    switch (code & 0xF00) {
    case 0x100: return Translate("Error - ");
    case 0x200: return Translate("Warning - ");
    case 0x300: return Translate("Error(2) - ");
    default: return QString();
    }
}

QString OperationName(quint32 code)
{
    static const char *const names[] = {nullptr,         N_("Copy"),    N_("gzip"),
                                        N_("gunzip"),    N_("Zip"),     N_("Encrypt"),
                                        N_("Decrypt"),   N_("Unzip")};
    const quint32 op = (code & 0xF000) >> 12;
    if (op == 0 || op >= std::size(names))
        return QString();
    return Translate(names[op]);
}

// The code in lower-case hexadecimal digits, as the backup program shows it
// (SafeFormat writes upper-case ones).
QString UnknownCodeText(quint32 code)
{
    const QString upper = QStringLiteral("%1").arg(code, 8, 16, QLatin1Char('0')).toUpper();
    QString text = SafeFormat(Translate("Unknown error code ($%.8x)"), code);
    return text.replace(upper, upper.toLower());
}

} // namespace

QString FileErrorText(quint32 code, const QString &firstName, const QString &secondName)
{
    QString message = SeverityPrefix(code);
    const quint32 number = code & 0xFF;
    if (number == 0)
        message = SystemErrorText(0);
    else if (number <= LastNumberedError)
        message += Translate(ErrorNumberTexts[number]);
    else if (number == UserBreakError)
        message += Translate("Terminated by user");
    else
        message += UnknownCodeText(code);

    const QString operation = OperationName(code);
    if (firstName.isEmpty())
        return operation.isEmpty() ? message : message + " (-> " + operation + ")";
    if (secondName.isEmpty()) {
        return operation.isEmpty() ? SafeFormat(message + ": \"%s\"", firstName)
                                   : SafeFormat(message + ": \"%s\" (-> %s)", firstName, operation);
    }
    return operation.isEmpty()
               ? SafeFormat(message + ": \"%s\" (%s)", firstName, secondName)
               : SafeFormat(message + ": \"%s\" (%s) (-> %s)", firstName, secondName, operation);
}

// ---------------------------------------------------------------------------
// Long names

QString WindowsLongPathName(const QString &name)
{
    static const QString extendedPrefix = QStringLiteral("\\\\?\\");
    if (name.startsWith(extendedPrefix))
        return name;
    if (name.startsWith(QLatin1String("\\\\")))
        return QStringLiteral("\\\\?\\UNC\\") + name.mid(2);
    if (name.size() >= 2 && name.at(1) != QLatin1Char(':'))
        return name;
    return name.size() >= 248 ? extendedPrefix + name : name;
}

quint32 FileAttributesNoFollow(const QString &fileName)
{
    return GetFileAttributesOf(LongPathName(fileName));
}

} // namespace packprobe
