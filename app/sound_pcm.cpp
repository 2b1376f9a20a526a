#include "sound_pcm.h"

#include <algorithm>
#include <cstring>

namespace karvel {

qint64 TMemoryPcm::Read(char* data, qint64 maxBytes)
{
    const qint64 frame = std::max(1, format_.bytesPerFrame());
    const qint64 left = data_.size() - position_;
    const qint64 count = std::min(left, maxBytes) / frame * frame;
    if (count <= 0)
        return 0;
    std::memcpy(data, data_.constData() + position_, static_cast<size_t>(count));
    position_ += count;
    return count;
}

} // namespace karvel
