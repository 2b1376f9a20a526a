#include "peer_karvel.h"

#include "com_port.h"
#include "com_vistam.h"
#include "sim_process.h"

#include <QDir>
#include <QEventLoop>
#include <QTimer>

namespace karvel::peer {

TRunResult RunKarvel(const QString& workDir, int exchanges, bool paced, int baud)
{
    TRunResult result;
    result.name = "karvel";
    qputenv("XDG_CONFIG_HOME", workDir.toUtf8());
    QDir().mkpath(workDir + "/Vistam/dosdevices");
    test::SimProcess sim;
    const QStringList options {"--terminal",
                               "5:KR200:Продукт",
                               "--delay-ms",
                               "0",
                               "--baud",
                               QString::number(baud),
                               paced ? "--pace" : "--no-pace"};
    if (!sim.Start(workDir + "/Vistam/dosdevices/com1", workDir, options)) {
        result.failed = exchanges;
        return result;
    }

    TComPort port;
    port.SetComNumber(1);
    port.ComProp().SetBaudRate(baud == 9600 ? TBaudRate::br9600 : TBaudRate::br19200);
    port.ComProp().SetByteSize(TByteSize::bs8);
    port.SetTimeReceiveByte(140);
    TComVistam framing;
    framing.SetComPort(&port);
    port.Open();
    if (!port.Connected()) {
        result.failed = exchanges;
        return result;
    }

    const uint8_t request[] = {5, 0xC8, 0x01}; // the total-weight counter
    QEventLoop loop;
    int done = 0;
    framing.OnNewPacketRead = [&](const uint8_t* value, uint8_t colByte, bool findMail) {
        if (findMail && value[0] == 5 && value[1] == 0xC8) {
            ++result.exchanges;
            result.answerBytes = colByte + 3; // start byte, data and checksum, two end bytes
        } else {
            ++result.failed;
        }
        if (++done >= exchanges) {
            loop.quit();
            return;
        }
        framing.SendValue(request, sizeof request);
        port.SetReadActive(true);
    };

    TStopwatch children; // the simulator's own CPU, from its start to its end
    TStopwatch clock;
    framing.SendValue(request, sizeof request);
    result.requestBytes = framing.LastFrameSentLength();
    port.SetReadActive(true);
    QTimer::singleShot(exchanges * 200 + 5000, &loop, &QEventLoop::quit); // never hang
    loop.exec();
    result.wallS = clock.WallS();
    result.cpuS = clock.CpuS();
    result.switches = clock.Switches();
    framing.OnNewPacketRead = nullptr;
    port.Close();
    sim.Stop();
    result.slaveCpuS = children.ChildCpuS();
    return result;
}

} // namespace karvel::peer
