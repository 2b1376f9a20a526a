#include "object_registry.h"

namespace karvel::server {

ObjectRegistry::ObjectRegistry(QString basePath, LineWriter writer, QObject* parent)
    : QObject(parent), basePath_(std::move(basePath)), writer_(std::move(writer))
{ }

ObjectRegistry::~ObjectRegistry() = default;

QString ObjectRegistry::create(const QString& owner)
{
    const QString path = basePath_ + QStringLiteral("/Object") + QString::number(++lastNumber_);
    objects_.emplace(path, std::make_unique<TDataControlServ>(path, owner, writer_));
    emit objectCountChanged(count());
    return path;
}

TDataControlServ* ObjectRegistry::find(const QString& path) const
{
    const auto it = objects_.find(path);
    return it == objects_.end() ? nullptr : it->second.get();
}

bool ObjectRegistry::release(const QString& path)
{
    if (objects_.erase(path) == 0)
        return false;
    afterRelease();
    return true;
}

int ObjectRegistry::releaseOwnedBy(const QString& owner)
{
    const int released = int(
        std::erase_if(objects_, [&](const auto& entry) { return entry.second->owner() == owner; }));
    if (released > 0)
        afterRelease();
    return released;
}

bool ObjectRegistry::hasObjectsOf(const QString& owner) const
{
    return std::any_of(objects_.begin(), objects_.end(),
                       [&](const auto& entry) { return entry.second->owner() == owner; });
}

QStringList ObjectRegistry::childNodes() const
{
    QStringList nodes;
    for (const auto& entry : objects_)
        nodes.append(entry.first.mid(basePath_.size() + 1));
    return nodes;
}

void ObjectRegistry::afterRelease()
{
    emit objectCountChanged(count());
    if (objects_.empty())
        emit lastReleased();
}

} // namespace karvel::server
