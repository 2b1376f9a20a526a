#include "soak_server.h"

#include "wait.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcessEnvironment>

#include <csignal>

namespace karvel::soak {

namespace {
const QString kName = QStringLiteral("KarvelC.DataControlServ");
}

TServerProcess::TServerProcess(QString memoLog, QString dataHome)
    : memoLog_(std::move(memoLog)), dataHome_(std::move(dataHome))
{ }

TServerProcess::~TServerProcess()
{
    if (Running()) {
        Thaw();
        Kill();
    }
}

bool TServerProcess::NameOwned()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kName).value();
}

bool TServerProcess::Start(int timeoutMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KARVELC_MEMO_LOG", memoLog_);
    env.insert("XDG_DATA_HOME", dataHome_);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LC_ALL", "C.UTF-8"); // "." in the memo's numbers
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start(QStringLiteral(KARVELC_PATH), {});
    if (!process_.waitForStarted(5000))
        return false;
    return test::WaitUntil([] { return NameOwned(); }, timeoutMs);
}

void TServerProcess::Kill()
{
    process_.kill();
    process_.waitForFinished(5000);
    test::WaitUntil([] { return !NameOwned(); }, 5000);
}

void TServerProcess::Freeze()
{
    ::kill(static_cast<pid_t>(process_.processId()), SIGSTOP);
}

void TServerProcess::Thaw()
{
    ::kill(static_cast<pid_t>(process_.processId()), SIGCONT);
}

} // namespace karvel::soak
