#include "mqtt_messages.h"

#include "karvel_main.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace karvel {

TLiveTerminal LiveTerminalOf(int line, const TMain_Karvel& slot)
{
    TLiveTerminal t;
    t.line = line;
    t.netNum = slot.NetNum;
    t.product = slot.Product;
    t.weight = slot.Weight;
    t.total = slot.Count.C;
    t.portions = slot.Count.n;
    t.lastPortion = slot.Count.d;
    t.rate = slot.Count.P;
    t.cycleTime = slot.Count.t;
    t.link = slot.Connect;
    return t;
}

QString BookingTopic(const QString& prefix, const QString& stationId)
{
    return prefix + QLatin1Char('/') + stationId + QStringLiteral("/booking");
}

QString StatusTopic(const QString& prefix, const QString& stationId)
{
    return prefix + QLatin1Char('/') + stationId + QStringLiteral("/status");
}

QString TerminalStateTopic(const QString& prefix, const QString& stationId, int line, int netNum)
{
    return QStringLiteral("%1/%2/line/%3/terminal/%4/state")
        .arg(prefix, stationId)
        .arg(line)
        .arg(netNum);
}

QByteArray BookingJson(const TLedgerChange& change)
{
    const QDateTime at =
        QDateTime::fromMSecsSinceEpoch(change.bookedAtMs, Qt::OffsetFromUTC, change.utcOffsetS);
    QJsonObject o;
    o.insert(QStringLiteral("changeId"), QString::fromStdString(change.changeId));
    o.insert(QStringLiteral("time"), at.toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("line"), change.line);
    o.insert(QStringLiteral("netNum"), change.netNum);
    o.insert(QStringLiteral("product"), QString::fromStdString(change.product));
    o.insert(QStringLiteral("Count_C"), change.countC);
    o.insert(QStringLiteral("Count_D"), change.countD);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray LiveJson(const TLiveTerminal& t)
{
    QJsonObject o;
    o.insert(QStringLiteral("product"), QString::fromStdString(t.product));
    // The weight as the terminal sent it: a number once it answered, null before.
    bool isNumber = false;
    const double weight = QString::fromStdString(t.weight).trimmed().toDouble(&isNumber);
    o.insert(QStringLiteral("weight"), isNumber ? QJsonValue(weight) : QJsonValue());
    o.insert(QStringLiteral("total"), t.total);
    o.insert(QStringLiteral("portions"), static_cast<qint64>(t.portions));
    o.insert(QStringLiteral("lastPortion"), t.lastPortion);
    o.insert(QStringLiteral("rate"), t.rate);
    o.insert(QStringLiteral("cycleTime"), t.cycleTime);
    o.insert(QStringLiteral("link"), t.link);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace karvel
