#pragma once
// The test accounting server as a child process on the session bus: started by the user
// (not by the bus, so that while it is down nothing brings it back), killed without
// warning, and writing each memo line into a file.

#include <QProcess>
#include <QString>

namespace karvel::soak {

class TServerProcess {
public:
    // `memoLog`: the file KARVELC_MEMO_LOG names; `dataHome`: its own XDG_DATA_HOME, so
    // its registration never reaches the bus daemon's service folders.
    TServerProcess(QString memoLog, QString dataHome);
    ~TServerProcess();
    TServerProcess(const TServerProcess&) = delete;
    TServerProcess& operator=(const TServerProcess&) = delete;

    // Starts it and waits until it owns its name on the bus.
    bool Start(int timeoutMs = 15000);
    // SIGKILL, and waits until the bus has seen it go.
    void Kill();
    // SIGSTOP / SIGCONT: a server that hangs and comes back.
    void Freeze();
    void Thaw();
    qint64 Pid() const { return process_.processId(); }
    bool Running() const { return process_.state() == QProcess::Running; }

    static bool NameOwned();

private:
    QString memoLog_;
    QString dataHome_;
    QProcess process_;
};

} // namespace karvel::soak
