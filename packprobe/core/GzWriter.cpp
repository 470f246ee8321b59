#include "packprobe/core/GzWriter.h"

#include "packprobe/core/AesLib.h"
#include "packprobe/core/ExtFileTools.h"

#include <QIODevice>
#include <QtEndian>

#include <zlib.h>

#include <memory>

namespace packprobe {

namespace {

constexpr qint64 WriterPiece = 0x40000;

struct TDeflateDeleter
{
    void operator()(z_stream *stream) const
    {
        deflateEnd(stream);
        delete stream;
    }
};

void AppendLe16(QByteArray &bytes, quint16 value)
{
    uchar b[2];
    qToLittleEndian(value, b);
    bytes.append(reinterpret_cast<const char *>(b), 2);
}

void AppendLe64(QByteArray &bytes, qint64 value)
{
    uchar b[8];
    qToLittleEndian(value, b);
    bytes.append(reinterpret_cast<const char *>(b), 8);
}

QByteArray BuildHeader(const TGzWriteOptions &options, qint64 cSize, qint64 uSize)
{
    QByteArray extra;
    if (options.SizeSubfield) {
        AppendLe16(extra, GzSubfieldSizes);
        AppendLe16(extra, 16);
        AppendLe64(extra, cSize);
        AppendLe64(extra, uSize);
    }
    if (options.Encrypt) {
        AppendLe16(extra, GzSubfieldKeyMode);
        AppendLe16(extra, 2);
        AppendLe16(extra, options.StoredKeyMode == 0xFFFF ? quint16(options.KeyMode)
                                                          : options.StoredKeyMode);
    }
    quint8 flags = 0;
    if (!extra.isEmpty())
        flags |= GzFlagExtra;
    if (!options.StoredName.isEmpty())
        flags |= GzFlagName;
    if (!options.Comment.isEmpty())
        flags |= GzFlagComment;
    if (options.HeaderCrc)
        flags |= GzFlagHeaderCrc;
    if (options.Encrypt)
        flags |= GzFlagEncrypted;

    QByteArray header;
    header.append(char(0x1F)).append(char(0x8B)).append(char(8)).append(char(flags));
    uchar time[4];
    qToLittleEndian(options.UnixTime, time);
    header.append(reinterpret_cast<const char *>(time), 4);
    header.append(char(0)).append(char(options.Os));
    if (!extra.isEmpty()) {
        AppendLe16(header, quint16(extra.size()));
        header.append(extra);
    }
    if (!options.StoredName.isEmpty())
        header.append(options.StoredName).append(char(0));
    if (!options.Comment.isEmpty())
        header.append(options.Comment).append(char(0));
    if (options.HeaderCrc) {
        const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(header.constData()),
                                       uInt(header.size())));
        AppendLe16(header, quint16(crc & 0xFFFF));
    }
    return header;
}

bool WriteAll(QIODevice &dest, const void *data, qint64 length)
{
    return length == 0 || dest.write(static_cast<const char *>(data), length) == length;
}

} // namespace

bool WriteGzFile(QIODevice &source, QIODevice &dest, const TGzWriteOptions &options)
{
    const qint64 headerStart = dest.pos();
    const QByteArray header = BuildHeader(options, 0, 0);
    if (!WriteAll(dest, header.constData(), header.size()))
        return false;

    std::unique_ptr<TEncryption> crypt;
    qint64 dataLength = 0;
    if (options.Encrypt) {
        crypt = std::make_unique<TEncryption>(options.Password, options.KeyMode, int(WriterPiece));
        std::array<uchar, 32> containerHeader{};
        if (!crypt->BeginEncrypt(containerHeader.data())
            || !WriteAll(dest, containerHeader.data(), crypt->GetHeaderSize()))
            return false;
        dataLength += crypt->GetHeaderSize();
    }

    std::unique_ptr<z_stream, TDeflateDeleter> stream(new z_stream{});
    if (deflateInit2(stream.get(), options.Level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        delete stream.release();
        return false;
    }
    std::unique_ptr<uchar[]> input(new uchar[WriterPiece]);
    std::unique_ptr<uchar[]> output(new uchar[WriterPiece]);
    quint32 checksum = 0;
    qint64 uSize = 0;
    bool finished = false;
    while (!finished) {
        const qint64 got = source.read(reinterpret_cast<char *>(input.get()), WriterPiece);
        if (got < 0)
            return false;
        checksum = quint32(crc32_z(checksum, input.get(), size_t(got)));
        uSize += got;
        const bool last = got == 0 || source.atEnd();
        stream->next_in = input.get();
        stream->avail_in = uInt(got);
        int result = Z_OK;
        do {
            stream->next_out = output.get();
            stream->avail_out = uInt(WriterPiece);
            result = deflate(stream.get(), last ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR)
                return false;
            const qint64 produced = WriterPiece - stream->avail_out;
            if (crypt && produced > 0 && !crypt->EncryptBlock(output.get(), produced))
                return false;
            if (!WriteAll(dest, output.get(), produced))
                return false;
            dataLength += produced;
        } while (stream->avail_out == 0);
        finished = last && result == Z_STREAM_END;
    }
    if (crypt) {
        std::array<uchar, TCrypt::MacLength> code{};
        if (!crypt->FinishEncrypt(code.data()) || !WriteAll(dest, code.data(), qint64(code.size())))
            return false;
        dataLength += qint64(code.size());
    }
    uchar trailer[8];
    qToLittleEndian(checksum, trailer);
    qToLittleEndian(quint32(quint64(uSize) & 0xFFFFFFFFu), trailer + 4);
    if (!WriteAll(dest, trailer, 8))
        return false;

    if (options.SizeSubfield) {
        const qint64 end = dest.pos();
        const QByteArray finalHeader = BuildHeader(options, dataLength, uSize);
        if (!dest.seek(headerStart) || !WriteAll(dest, finalHeader.constData(), finalHeader.size())
            || !dest.seek(end))
            return false;
    }
    return true;
}

} // namespace packprobe
