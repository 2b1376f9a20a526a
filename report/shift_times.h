#pragma once
// The shift boundaries of the plant: the local times of day at which a shift begins, read
// from the store value `ShiftStarts` under `Control` ("08:00;20:00" by default; three shifts
// would be "00:00;08:00;16:00"). A store without the value reads as the default.

#include <QString>
#include <QTime>

#include <vector>

namespace karvel::report {

struct TShiftTimes {
    std::vector<QTime> starts; // ascending, at least one
    QString error; // why the stored value was not taken (the default is then used)
};

std::vector<QTime> DefaultShiftStarts();
// "08:00;20:00" -> {08:00, 20:00}; ';', ',' or blanks separate. Empty on a bad text.
std::vector<QTime> ParseShiftStarts(const QString& text);
QString ShiftStartsText(const std::vector<QTime>& starts);
// From the store file; never throws. A missing value or file gives the default silently,
// an unreadable file or a bad value gives the default and says why.
TShiftTimes ReadShiftTimes(const QString& storePath);

} // namespace karvel::report
