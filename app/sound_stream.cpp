#include "sound_stream.h"

#include <algorithm>

namespace karvel {

TPcmStream::TPcmStream(TPcmSource& source, QObject* parent) : QIODevice(parent), source_(source) { }

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
    const qint64 frame = std::max(1, source_.Format().bytesPerFrame());
    qint64 total = 0;
    bool rewound = false;
    while (!ended_ && maxSize - total >= frame) {
        const qint64 count = source_.Read(data + total, maxSize - total);
        if (count > 0) {
            total += count;
            rewound = false;
            continue;
        }
        if (rewound) {
            ended_ = true; // a sound without a single frame would repeat forever
            break;
        }
        ++completed_;
        emit PlayEnded();
        if (!repeat_) {
            ended_ = true;
            break;
        }
        source_.Rewind();
        rewound = true;
    }
    return total;
}

} // namespace karvel
