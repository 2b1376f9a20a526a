#pragma once
// Starts the recording accounting server as a process of its own on the session bus and
// steers it: what it received, answer delay, refusal, loss of its objects.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace karvel::test {

class TRecorderProcess {
public:
    // Starts the server owning `name`; waits until the name is owned.
    explicit TRecorderProcess(QString name, QStringList extraArgs = {});
    ~TRecorderProcess();

    bool Running() const;
    const QString& Name() const { return name_; }
    QStringList Calls() const;
    // Calls other than CreateObject and Release.
    QStringList MethodCalls() const;
    void Clear();
    void SetDelay(int ms);
    // Delays only the answers of the accounting calls.
    void SetCountDelay(int ms);
    void SetFailing(bool failing);
    // Calls for this product are answered with this error.
    void SetRefused(const QString& product, const QString& errorName);
    void DropObjects();
    void Kill();
    void Start();

    static QString Path();

private:
    QString name_;
    QStringList extraArgs_;
    std::unique_ptr<QProcess> process_;
};

// Waits up to `ms` for `name` to be owned (or given up) on the session bus.
bool WaitForName(const QString& name, bool owned, int ms = 5000);
// A bus name no other test uses.
QString UniqueName(const QString& stem);

} // namespace karvel::test
