#pragma once
// What a line window reads from the store when it starts: its terminal model and its port.

#include "line_poller.h"

#include <QString>

namespace karvel {

class TStoreLineSettings : public TLineSettingsSource {
public:
    explicit TStoreLineSettings(QString storePath) : storePath_(std::move(storePath)) { }
    TLineModelSetting ReadModel(const TLineTraits& line) override;
    TLinePortSetting ReadPort(const TLineTraits& line) override;

private:
    QString storePath_;
};

} // namespace karvel
