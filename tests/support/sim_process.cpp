#include "sim_process.h"

#include "wait.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace karvel::test {

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Start(const QString& link, const QString& workDir, const QStringList& options)
{
    control_ = workDir + "/sim.ctl";
    record_ = workDir + "/sim.record";
    QStringList args{"--link", link, "--control", control_, "--record", record_, "--record-ms", "100"};
    args += options;
    process_.start(QStringLiteral(KARVEL_SIM_PATH), args);
    if (!process_.waitForStarted(5000))
        return false;
    const bool ready = WaitUntil(
        [&] { return process_.canReadLine() || process_.state() != QProcess::Running; }, 10000);
    return ready && process_.readLine().startsWith("pty ") && QFileInfo::exists(link);
}

void SimProcess::Control(const QString& command)
{
    QFile pipe(control_);
    if (pipe.open(QIODevice::WriteOnly)) {
        pipe.write((command + "\n").toUtf8());
        pipe.close();
    }
}

std::map<int, QJsonObject> SimProcess::Record() const
{
    std::map<int, QJsonObject> terminals;
    QFile file(record_);
    if (!file.open(QIODevice::ReadOnly))
        return terminals;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.contains("net"))
            terminals[object.value("net").toInt()] = object;
    }
    return terminals;
}

QString SimProcess::Trace()
{
    trace_ += QString::fromUtf8(process_.readAllStandardError());
    return trace_;
}

void SimProcess::Stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

} // namespace karvel::test
