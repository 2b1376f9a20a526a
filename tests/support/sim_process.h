#pragma once
// The terminal line simulator as a child process of a test: started on a pseudo-terminal
// linked where the test says, steered through its control pipe, read through its record.
// Started with fork and exec rather than QProcess, so that ThreadSanitizer follows the
// start of the child and judges the tests that use it.

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <sys/types.h>

class QSocketNotifier;

namespace karvel::test {

class SimProcess {
public:
    SimProcess();
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator with a link at `link` and the given options; waits until its
    // pseudo-terminal is there. `workDir` holds the control pipe and the record.
    bool Start(const QString& link, const QString& workDir, const QStringList& options);
    void Control(const QString& command);
    // The true counters of each terminal by network number, as the simulator last wrote them.
    std::map<int, QJsonObject> Record() const;
    QString Trace(); // what --verbose printed so far
    void Stop();

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    QString control_;
    QString record_;
    QByteArray trace_;
    // Keeps the trace flowing while the test runs its event loop: a full pipe would stall
    // the simulator.
    std::unique_ptr<QSocketNotifier> traceReader_;
};

} // namespace karvel::test
