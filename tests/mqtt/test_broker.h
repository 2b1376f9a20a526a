#pragma once
// A real mosquitto broker for a test: its own configuration file, persistence directory
// and log in a temporary directory, listening on a free port of 127.0.0.1 only.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace karvel::test {

struct TBrokerOptions {
    QString user; // with a password file when set
    QString password;
    bool tls = false; // makes a CA and a server certificate for 127.0.0.1 with openssl
    bool saveOften = true; // state on the disk after every change (off for benchmarks)
};

class TTestBroker {
public:
    explicit TTestBroker(TBrokerOptions options = {});
    ~TTestBroker();

    // Starts (or starts again, on the same port and with the same stored state) and waits
    // until the port takes connections.
    bool Start();
    // SIGTERM (the broker saves its state) or SIGKILL; waits for the end.
    void Stop(bool kill = false);
    bool Running() const;

    int Port() const { return port_; }
    qint64 Pid() const { return process_ ? process_->processId() : 0; }
    QString Dir() const { return dir_.path(); }
    QString CaFile() const; // the CA certificate of a TLS broker
    QString Log() const;

    // A port of 127.0.0.1 that nobody listens on (for "unreachable").
    static int FreePort();

private:
    bool WriteConfig();
    bool MakeCertificates();

    TBrokerOptions options_;
    QTemporaryDir dir_;
    int port_ = 0;
    std::unique_ptr<QProcess> process_;
};

// The port takes a TCP connection.
bool PortOpen(int port);

} // namespace karvel::test
