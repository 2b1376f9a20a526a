#include "recorder_process.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>

namespace karvel::test {

namespace {

QDBusMessage Control(const QString& name, const QString& member, const QVariantList& args = {})
{
    QDBusMessage msg = QDBusMessage::createMethodCall(name, QStringLiteral("/Recorder"),
                                                      QStringLiteral("KarvelT.Recorder"), member);
    msg.setArguments(args);
    msg.setAutoStartService(false);
    return QDBusConnection::sessionBus().call(msg, QDBus::Block, 5000);
}

} // namespace

QString TRecorderProcess::Path()
{
    return QStringLiteral(KARVEL_RECORDER_PATH);
}

bool WaitForName(const QString& name, bool owned, int ms)
{
    QElapsedTimer timer;
    timer.start();
    auto* bus = QDBusConnection::sessionBus().interface();
    while (timer.elapsed() < ms) {
        if (bus->isServiceRegistered(name).value() == owned)
            return true;
        QThread::msleep(10);
    }
    return false;
}

QString UniqueName(const QString& stem)
{
    static std::atomic<int> counter {0};
    return QStringLiteral("%1.P%2N%3")
        .arg(stem)
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

TRecorderProcess::TRecorderProcess(QString name, QStringList extraArgs)
    : name_(std::move(name)), extraArgs_(std::move(extraArgs))
{
    Start();
}

TRecorderProcess::~TRecorderProcess()
{
    Kill();
}

void TRecorderProcess::Start()
{
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->start(Path(), QStringList {QStringLiteral("--name"), name_} + extraArgs_);
    process_->waitForStarted(5000);
    WaitForName(name_, true);
}

void TRecorderProcess::Kill()
{
    if (!process_)
        return;
    process_->kill();
    process_->waitForFinished(5000);
    process_.reset();
    WaitForName(name_, false);
}

bool TRecorderProcess::Running() const
{
    return process_ && process_->state() == QProcess::Running;
}

QStringList TRecorderProcess::Calls() const
{
    const QDBusMessage reply = Control(name_, QStringLiteral("Calls"));
    return reply.arguments().isEmpty() ? QStringList()
                                       : reply.arguments().constFirst().toStringList();
}

QStringList TRecorderProcess::MethodCalls() const
{
    QStringList out;
    for (const QString& call : Calls())
        if (call != u"CreateObject" && call != u"Release")
            out.append(call);
    return out;
}

void TRecorderProcess::Clear()
{
    Control(name_, QStringLiteral("Clear"));
}
void TRecorderProcess::SetDelay(int ms)
{
    Control(name_, QStringLiteral("SetDelay"), {static_cast<uint>(ms)});
}
void TRecorderProcess::SetCountDelay(int ms)
{
    Control(name_, QStringLiteral("SetCountDelay"), {static_cast<uint>(ms)});
}

void TRecorderProcess::SetFailing(bool failing)
{
    Control(name_, QStringLiteral("SetFailing"), {failing});
}
void TRecorderProcess::SetRefused(const QString& product, const QString& errorName)
{
    Control(name_, QStringLiteral("SetRefused"), {product, errorName});
}
void TRecorderProcess::DropObjects()
{
    Control(name_, QStringLiteral("DropObjects"));
}

} // namespace karvel::test
