#pragma once

#include "data_control_serv.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

namespace karvel::server {

// The live accounting objects, each owned by the bus client that created it.
class ObjectRegistry : public QObject {
    Q_OBJECT
public:
    // Objects get paths "<basePath>/Object<n>"; n is never reused.
    ObjectRegistry(QString basePath, LineWriter writer, QObject* parent = nullptr);
    ~ObjectRegistry() override;

    QString create(const QString& owner);
    TDataControlServ* find(const QString& path) const;
    bool release(const QString& path);
    // Releases every object of a client that has left the bus; returns how many.
    int releaseOwnedBy(const QString& owner);

    int count() const { return int(objects_.size()); }
    bool hasObjectsOf(const QString& owner) const;
    QStringList childNodes() const; // "Object1", ... for introspection

signals:
    void objectCountChanged(int count);
    // The last live object went away.
    void lastReleased();

private:
    void afterRelease();

    QString basePath_;
    LineWriter writer_;
    quint64 lastNumber_ = 0;
    std::map<QString, std::unique_ptr<TDataControlServ>> objects_;
};

} // namespace karvel::server
