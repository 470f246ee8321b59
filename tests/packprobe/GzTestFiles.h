#pragma once

// Helpers shared by the packprobe tests: gz files built by hand or with the
// project's writer, and deterministic sample text.

#include "packprobe/core/GzAnalysis.h"
#include "packprobe/core/GzWriter.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <zlib.h>

using namespace packprobe;

using namespace packprobe;

namespace GzTest {

// Answers the password question with a fixed password, or not at all (null).
class GivenPassword : public IPasswordProvider
{
public:
    explicit GivenPassword(const char *password) : FPassword(password) {}
    bool AskPassword(const QString &, QByteArray &password) override
    {
        if (!FPassword)
            return false;
        password = FPassword;
        return true;
    }

private:
    const char *FPassword;
};


inline void PutLe16(QByteArray &bytes, quint16 value)
{
    uchar b[2];
    qToLittleEndian(value, b);
    bytes.append(reinterpret_cast<const char *>(b), 2);
}

inline void PutLe32(QByteArray &bytes, quint32 value)
{
    uchar b[4];
    qToLittleEndian(value, b);
    bytes.append(reinterpret_cast<const char *>(b), 4);
}

inline void PutLe64(QByteArray &bytes, qint64 value)
{
    uchar b[8];
    qToLittleEndian(value, b);
    bytes.append(reinterpret_cast<const char *>(b), 8);
}

// Fixed 10-byte header.
inline QByteArray FixedHeader(quint8 flags, quint32 mtime = 0, quint8 os = 3, quint8 method = 8)
{
    QByteArray h;
    h.append(char(0x1F)).append(char(0x8B)).append(char(method)).append(char(flags));
    PutLe32(h, mtime);
    h.append(char(0)).append(char(os));
    return h;
}

// An extra field (XLEN and the subfields).
inline QByteArray Extra(const QByteArray &subfields)
{
    QByteArray e;
    PutLe16(e, quint16(subfields.size()));
    return e + subfields;
}

// The size subfield: compressed size, then uncompressed size.
inline QByteArray SizeSubfield(qint64 c, qint64 u, quint16 storedLength = 16)
{
    QByteArray s("\x01\x00", 2);
    PutLe16(s, storedLength);
    PutLe64(s, c);
    PutLe64(s, u);
    return s;
}

// Raw deflate data of the bytes (level 6), ended with a final block.
inline QByteArray RawDeflate(const QByteArray &data, int level = 6, int strategy = Z_DEFAULT_STRATEGY)
{
    z_stream s{};
    deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, strategy);
    QByteArray out(int(deflateBound(&s, uLong(data.size()))) + 16, Qt::Uninitialized);
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = uInt(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(qsizetype(s.total_out));
    deflateEnd(&s);
    return out;
}

inline quint32 Crc(const QByteArray &data)
{
    return quint32(crc32_z(0, reinterpret_cast<const Bytef *>(data.constData()), size_t(data.size())));
}

inline QByteArray Trailer(const QByteArray &plain)
{
    QByteArray t;
    PutLe32(t, Crc(plain));
    PutLe32(t, quint32(plain.size()));
    return t;
}

// Raw deflate data of segments x 64 MiB of zeros, about 64 KiB per segment:
// output far larger than the file, made in a moment (one segment compressed,
// ended by a full flush, repeated; a final empty block ends the stream).
constexpr qint64 ZeroSegmentBytes = 64 * 1024 * 1024;
inline QByteArray RawDeflateOfZeros(int segments)
{
    QByteArray zeros(ZeroSegmentBytes, '\0');
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray segment(1 << 20, Qt::Uninitialized);
    s.next_in = reinterpret_cast<Bytef *>(zeros.data());
    s.avail_in = uInt(zeros.size());
    s.next_out = reinterpret_cast<Bytef *>(segment.data());
    s.avail_out = uInt(segment.size());
    deflate(&s, Z_FULL_FLUSH);
    segment.resize(qsizetype(s.total_out));
    deflateEnd(&s);
    return segment.repeated(segments) + QByteArray("\x03\x00", 2);
}

// A valid gz file of segments x 64 MiB of zeros: slow to inflate, small on
// disk; for tests that must catch the work while it runs.
inline QByteArray ZerosGz(int segments)
{
    const QByteArray zeros(ZeroSegmentBytes, '\0');
    const uLong segmentCrc = crc32_z(0, reinterpret_cast<const Bytef *>(zeros.constData()),
                                     size_t(zeros.size()));
    uLong crc = 0;
    for (int i = 0; i < segments; ++i)
        crc = crc32_combine(crc, segmentCrc, z_off_t(ZeroSegmentBytes));
    QByteArray gz = FixedHeader(0) + RawDeflateOfZeros(segments);
    PutLe32(gz, quint32(crc));
    PutLe32(gz, quint32(qint64(segments) * ZeroSegmentBytes));
    return gz;
}

// A complete gz file made by the project's writer.
inline QByteArray WriteGz(const QByteArray &plain, const TGzWriteOptions &options)
{
    QByteArray source = plain;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    QByteArray result;
    QBuffer out(&result);
    out.open(QIODevice::ReadWrite);
    if (!WriteGzFile(in, out, options))
        return QByteArray();
    return result;
}

inline TGzWriteOptions PlainOptions(const QByteArray &name = "data.txt")
{
    TGzWriteOptions o;
    o.StoredName = name;
    o.UnixTime = 1700000000;
    o.Os = 0;
    return o;
}

inline TGzWriteOptions EncryptedOptions(const QByteArray &password, int mode,
                                        const QByteArray &name = "secret.txt")
{
    TGzWriteOptions o = PlainOptions(name);
    o.Encrypt = true;
    o.Password = password;
    o.KeyMode = mode;
    return o;
}

// Deterministic text that compresses like real prose (about 3:1).
inline QByteArray SampleText(qsizetype size, quint32 seed = 1)
{
    static const char *const words[] = {
        "backup", "archive", "the", "of", "and", "file", "data", "restore", "to", "a",
        "folder", "encrypted", "Vaultkeep", "copy", "in", "is", "with", "for", "night",
        "schedule", "volume", "checksum", "verify", "disk", "changes", "since", "last",
        "run", "error", "report", "user", "documents", "pictures", "mail", "settings"};
    constexpr int wordCount = int(sizeof(words) / sizeof(words[0]));
    QByteArray text;
    text.reserve(size + 32);
    quint32 state = seed * 2654435761u + 1;
    int column = 0;
    while (text.size() < size) {
        state = state * 1664525u + 1013904223u;
        const char *word = words[(state >> 16) % wordCount];
        text.append(word);
        column += int(qstrlen(word)) + 1;
        if (column > 70) {
            text.append(".\n");
            column = 0;
        } else {
            text.append(' ');
        }
    }
    text.resize(size);
    return text;
}

// Output of an external compressor (gzip, pigz) run on a file; empty when the
// program is missing.
inline QByteArray CompressWith(const QString &program, const QString &file,
                               const QStringList &extra = {})
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return QByteArray();
    QProcess process;
    process.start(program, extra + QStringList{QStringLiteral("-c"), file});
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

} // namespace GzTest
