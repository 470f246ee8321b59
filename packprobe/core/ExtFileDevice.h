#pragma once

#include "foundation/FileUtils.h"

#include <QIODevice>

#include <memory>

namespace packprobe {

// A QIODevice over a TExtFileStream, so that the stream readers (gz header,
// container) work on files and on in-memory buffers alike. Opening follows
// TExtFileStream: a failure throws EExtFileStreamError with the system's
// error number. The device is unbuffered: callers read in large pieces.
class TExtFileDevice : public QIODevice
{
public:
    // mode: the TExtFileStream open mode (fmOpenRead | fmShareDenyNone, fmCreate...).
    TExtFileDevice(const QString &fileName, quint16 mode, quint32 rights = 0);
    ~TExtFileDevice() override;

    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 pos) override;
    void close() override;

    // Truncates the file to length bytes (and moves the position there when
    // it lies beyond); false on failure.
    bool truncate(qint64 length);
    // The error number of the last failed read or write, 0 when none.
    int LastErrorNumber() const { return FLastError; }
    const QString &fileName() const { return FStream->FileName(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    std::unique_ptr<foundation::TExtFileStream> FStream;
    int FLastError = 0;
};

} // namespace packprobe
