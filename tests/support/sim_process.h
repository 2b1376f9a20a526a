#pragma once
// The terminal line simulator as a child process of a test: started on a pseudo-terminal
// linked where the test says, steered through its control pipe, read through its record.

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <map>

namespace karvel::test {

class SimProcess {
public:
    SimProcess() = default;
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
    QProcess process_;
    QString control_;
    QString record_;
    QString trace_;
};

} // namespace karvel::test
