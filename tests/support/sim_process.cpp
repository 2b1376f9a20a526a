#include "sim_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace karvel::test {

namespace {

// Reads what is there without waiting.
void Drain(int fd, QByteArray& into)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        into.append(buffer, static_cast<int>(n));
    }
}

// The first line the child writes, or nothing when it does not come in time.
QByteArray FirstLine(int fd, int timeoutMs)
{
    QByteArray text;
    QElapsedTimer clock;
    clock.start();
    while (!text.contains('\n') && clock.elapsed() < timeoutMs) {
        pollfd p {fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            const qsizetype before = text.size();
            Drain(fd, text);
            if (text.size() == before && (p.revents & POLLHUP))
                break;
        }
    }
    return text.left(text.indexOf('\n'));
}

} // namespace

SimProcess::SimProcess() = default;

SimProcess::~SimProcess()
{
    Stop();
}

bool SimProcess::Start(const QString& link, const QString& workDir, const QStringList& options)
{
    control_ = workDir + "/sim.ctl";
    record_ = workDir + "/sim.record";
    QStringList args {"--link",   link,    "--control",   control_,
                      "--record", record_, "--record-ms", "100"};
    args += options;
    std::vector<QByteArray> storage {QByteArray(KARVEL_SIM_PATH)};
    for (const QString& a : args)
        storage.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return false;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    stdout_ = out[0];
    stderr_ = err[0];
    fcntl(stdout_, F_SETFL, O_NONBLOCK);
    fcntl(stderr_, F_SETFL, O_NONBLOCK);
    if (pid_ < 0)
        return false;
    traceReader_ = std::make_unique<QSocketNotifier>(stderr_, QSocketNotifier::Read);
    QObject::connect(traceReader_.get(), &QSocketNotifier::activated,
                     [this] { Drain(stderr_, trace_); });
    return FirstLine(stdout_, 10000).startsWith("pty ") && QFileInfo::exists(link);
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
    if (stderr_ >= 0)
        Drain(stderr_, trace_);
    return QString::fromUtf8(trace_);
}

void SimProcess::Stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        QElapsedTimer clock;
        clock.start();
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (clock.elapsed() > 3000) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            QThread::msleep(10);
        }
        pid_ = -1;
    }
    traceReader_.reset();
    for (int* fd : {&stdout_, &stderr_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

} // namespace karvel::test
