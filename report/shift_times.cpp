#include "shift_times.h"

#include "config_keys.h"
#include "config_store.h"
#include "step_error.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace karvel::report {

std::vector<QTime> DefaultShiftStarts()
{
    return {QTime(8, 0), QTime(20, 0)};
}

std::vector<QTime> ParseShiftStarts(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    std::vector<QTime> starts;
    for (const QString& part : text.split(separators, Qt::SkipEmptyParts)) {
        const QTime time = QTime::fromString(part, QStringLiteral("H:mm"));
        if (!time.isValid())
            return {};
        starts.push_back(time);
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

QString ShiftStartsText(const std::vector<QTime>& starts)
{
    QStringList parts;
    for (const QTime& time : starts)
        parts << time.toString(QStringLiteral("HH:mm"));
    return parts.join(QLatin1Char(';'));
}

TShiftTimes ReadShiftTimes(const QString& storePath)
{
    TShiftTimes result {DefaultShiftStarts(), {}};
    if (!QFileInfo::exists(storePath))
        return result;
    QString text;
    try {
        const TConfigStore store(storePath);
        text = store.ReadString(kControlKey, kShiftStartsValue).trimmed();
    } catch (const TStepError& error) {
        result.error = error.text();
        return result;
    }
    if (text.isEmpty())
        return result;
    std::vector<QTime> starts = ParseShiftStarts(text);
    if (starts.empty()) {
        result.error = QStringLiteral("Неверные начала смен \"%1\" (%2): взяты %3")
                           .arg(text, kShiftStartsValue, ShiftStartsText(result.starts));
        return result;
    }
    result.starts = std::move(starts);
    return result;
}

} // namespace karvel::report
