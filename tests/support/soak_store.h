#pragma once
// The configuration a soak starts from: four lines of terminals on COM1..COM4, written
// into the real store file, and the line settings the polling cycles read back from it.

#include "line_poller.h"
#include "store_line_settings.h"

#include <QString>

#include <vector>

namespace karvel::soak {

struct TSoakTerminal {
    uint8_t net = 0;
    QString product;
};

struct TSoakLine {
    int number = 0; // 1..4, polled on COM<number>
    bool kr100 = false;
    std::vector<TSoakTerminal> terminals;
};

// Four lines of `perLine` terminals each; network numbers differ between lines, so an
// answer or a booking that lands on the wrong line shows.
std::vector<TSoakLine> SoakLines(int perLine);

// Writes the lines, the communication parameters (19200 bit/s) and the work log switch.
void WriteStore(const QString& storePath, const std::vector<TSoakLine>& lines);

} // namespace karvel::soak
