#include "packprobe/core/ExtFileDevice.h"

#include <limits>

namespace packprobe {

using namespace foundation;

namespace {

constexpr qint64 MaxPiece = std::numeric_limits<qint32>::max() & ~qint64(0xFFFF);

QIODevice::OpenMode QtModeFor(quint16 mode)
{
    if ((mode & fmCreate) == fmCreate)
        return QIODevice::ReadWrite | QIODevice::Unbuffered;
    switch (mode & 0x0F) {
    case fmOpenWrite: return QIODevice::WriteOnly | QIODevice::Unbuffered;
    case fmOpenReadWrite: return QIODevice::ReadWrite | QIODevice::Unbuffered;
    default: return QIODevice::ReadOnly | QIODevice::Unbuffered;
    }
}

} // namespace

TExtFileDevice::TExtFileDevice(const QString &fileName, quint16 mode, quint32 rights)
    : FStream(std::make_unique<TExtFileStream>(fileName, mode, rights))
{
    QIODevice::open(QtModeFor(mode));
}

TExtFileDevice::~TExtFileDevice()
{
    close();
}

qint64 TExtFileDevice::size() const
{
    return FStream ? FStream->Size() : -1;
}

bool TExtFileDevice::seek(qint64 pos)
{
    if (!FStream || pos < 0 || !FStream->SetPosition(pos))
        return false;
    return QIODevice::seek(pos);
}

void TExtFileDevice::close()
{
    if (isOpen())
        QIODevice::close();
    if (FStream)
        FStream->Close();
}

bool TExtFileDevice::truncate(qint64 length)
{
    if (!FStream || FStream->SetSize(length) != 0)
        return false;
    return pos() <= length || seek(length);
}

qint64 TExtFileDevice::readData(char *data, qint64 maxSize)
{
    qint64 total = 0;
    while (total < maxSize) {
        const auto piece = static_cast<qint32>(qMin(maxSize - total, MaxPiece));
        qint32 got = 0;
        const qint32 error = FStream->Read(data + total, piece, got);
        if (error != 0) {
            FLastError = error;
            setErrorString(QString::fromLatin1("read error %1").arg(error));
            return total > 0 ? total : -1;
        }
        if (got <= 0)
            break;
        total += got;
        if (got < piece)
            break;
    }
    return total;
}

qint64 TExtFileDevice::writeData(const char *data, qint64 maxSize)
{
    qint64 total = 0;
    while (total < maxSize) {
        const auto piece = static_cast<qint32>(qMin(maxSize - total, MaxPiece));
        qint32 written = 0;
        const qint32 error = FStream->Write(data + total, piece, written);
        if (error != 0) {
            FLastError = error;
            setErrorString(QString::fromLatin1("write error %1").arg(error));
            return -1;
        }
        if (written <= 0)
            break;
        total += written;
        if (written < piece)
            break;
    }
    return total;
}

} // namespace packprobe
