#include "port_link.h"

#include <utility>

namespace karvel {

TPortLink::~TPortLink()
{
    if (onDestroyed_)
        onDestroyed_();
}

void TPortLink::SetOnReadPacket(TReadPacketEvent handler, std::function<void()> onPortDestroyed)
{
    onReadPacket_ = std::move(handler);
    onDestroyed_ = std::move(onPortDestroyed);
}

void TPortLink::ClearOnReadPacket()
{
    onReadPacket_ = nullptr;
    onDestroyed_ = nullptr;
}

} // namespace karvel
