#pragma once
// This system's side: TComPort and TComVistam polling one karvel-sim terminal, one
// request on the line at a time, the next request sent from the delivery of the answer
// as the line's polling cycle does.

#include "peer_result.h"

#include <QString>

namespace karvel::peer {

// `workDir`: a folder for the simulator's link and control pipe.
TRunResult RunKarvel(const QString& workDir, int exchanges, bool paced, int baud);

} // namespace karvel::peer
