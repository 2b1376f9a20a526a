#include "test_broker.h"

#include "wait.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace karvel::test {

namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool Run(const QString& program, const QStringList& args, const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), p.readAll().constData());
        return false;
    }
    return true;
}

} // namespace

bool PortOpen(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = Loopback(port);
    const bool open = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return open;
}

int TTestBroker::FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

TTestBroker::TTestBroker(TBrokerOptions options) : options_(std::move(options))
{
    port_ = FreePort();
}

TTestBroker::~TTestBroker()
{
    Stop();
}

QString TTestBroker::CaFile() const
{
    return QDir(Dir()).filePath(QStringLiteral("ca.crt"));
}

QString TTestBroker::Log() const
{
    QFile f(QDir(Dir()).filePath(QStringLiteral("broker.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool TTestBroker::MakeCertificates()
{
    const QString d = Dir();
    QFile ext(QDir(d).filePath(QStringLiteral("san.ext")));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("subjectAltName=IP:127.0.0.1\n");
    ext.close();
    const QString ssl = QStringLiteral("openssl");
    return Run(ssl,
               {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                "/CN=karvel test CA", "-keyout", "ca.key", "-out", "ca.crt"},
               d) &&
        Run(ssl,
            {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
             "server.key", "-out", "server.csr"},
            d) &&
        Run(ssl,
            {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
             "-CAcreateserial", "-days", "2", "-extfile", "san.ext", "-out", "server.crt"},
            d);
}

bool TTestBroker::WriteConfig()
{
    const QDir d(Dir());
    QString conf;
    conf += QStringLiteral("listener %1 127.0.0.1\n").arg(port_);
    // Started by root the broker would become "mosquitto" and lose the test's files.
    if (const passwd* me = ::getpwuid(::getuid()))
        conf += QStringLiteral("user %1\n").arg(QString::fromLocal8Bit(me->pw_name));
    conf += QStringLiteral("persistence true\npersistence_location %1/\n").arg(Dir());
    if (options_.saveOften)
        conf += QStringLiteral("autosave_interval 1\nautosave_on_changes true\n");
    conf += QStringLiteral("log_dest file %1\nlog_type all\n").arg(d.filePath("broker.log"));
    conf += QStringLiteral("max_queued_messages 0\nmax_inflight_messages 0\n");
    if (options_.user.isEmpty()) {
        conf += QStringLiteral("allow_anonymous true\n");
    } else {
        const QString passwords = d.filePath(QStringLiteral("passwords"));
        if (!QFile::exists(passwords) &&
            !Run(QStringLiteral("mosquitto_passwd"),
                 {"-b", "-c", passwords, options_.user, options_.password}, Dir()))
            return false;
        conf += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords);
    }
    if (options_.tls) {
        if (!QFile::exists(CaFile()) && !MakeCertificates())
            return false;
        conf += QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n")
                    .arg(CaFile(), d.filePath("server.crt"), d.filePath("server.key"));
    }
    QFile f(d.filePath(QStringLiteral("mosquitto.conf")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(conf.toUtf8());
    return true;
}

bool TTestBroker::Start()
{
    if (Running())
        return true;
    if (!dir_.isValid() || !WriteConfig())
        return false;
    process_ = std::make_unique<QProcess>();
    // A test that dies (a sanitizer's halt) takes its broker with it.
    process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start(QStringLiteral("mosquitto"),
                    {QStringLiteral("-c"), QDir(Dir()).filePath(QStringLiteral("mosquitto.conf"))});
    if (!process_->waitForStarted(5000))
        return false;
    return WaitUntil([this] { return PortOpen(port_) || !Running(); }, 10000) && Running();
}

void TTestBroker::Stop(bool kill)
{
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(process_->processId()), kill ? SIGKILL : SIGTERM);
        process_->waitForFinished(10000);
    }
    process_.reset();
}

bool TTestBroker::Running() const
{
    return process_ && process_->state() == QProcess::Running;
}

} // namespace karvel::test
