// A station with nothing but its MQTT side, for the test that kills it: port, station id
// and ledger path on the command line.
#include "mqtt_station.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    karvel::TMqttSinkConfig config;
    config.settings.enabled = true;
    config.settings.port = args[1].toInt();
    config.stationId = args[2];
    config.ledgerPath = args[3];
    karvel::TMqttStation station(config);
    return app.exec();
}
