#include "sound_stream.h"

namespace karvel {

TPcmStream::TPcmStream(TPcmSource& source, QObject* parent) : QIODevice(parent), source_(source) {}

void TPcmStream::Start(bool repeat)
{
    source_.Rewind();
    repeat_ = repeat;
    ended_ = false;
    if (!isOpen())
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 TPcmStream::bytesAvailable() const
{
    // The output asks how much it may read; an endless or rendered sound always has more
    // until it has ended.
    return ended_ ? QIODevice::bytesAvailable() : QIODevice::bytesAvailable() + 65536;
}

qint64 TPcmStream::readData(char* data, qint64 maxSize)
{
    if (ended_)
        return 0;
    qint64 count = source_.Read(data, maxSize);
    if (count > 0)
        return count;
    ++completed_;
    emit PlayEnded();
    if (repeat_) {
        source_.Rewind();
        count = source_.Read(data, maxSize);
        if (count > 0)
            return count;
    }
    // Not repeating, or a sound without a single frame: nothing more comes.
    ended_ = true;
    return 0;
}

} // namespace karvel
