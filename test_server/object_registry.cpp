#include "object_registry.h"

namespace karvel::server {

ObjectRegistry::ObjectRegistry(QString basePath, LineWriter writer, QObject* parent)
    : QObject(parent), FBasePath(std::move(basePath)), FWriter(std::move(writer))
{ }

ObjectRegistry::~ObjectRegistry() = default;

QString ObjectRegistry::create(const QString& owner)
{
    const QString path = FBasePath + QStringLiteral("/Object") + QString::number(++FLastNumber);
    FObjects.emplace(path, std::make_unique<TDataControlServ>(path, owner, FWriter));
    emit objectCountChanged(count());
    return path;
}

TDataControlServ* ObjectRegistry::find(const QString& path) const
{
    const auto it = FObjects.find(path);
    return it == FObjects.end() ? nullptr : it->second.get();
}

bool ObjectRegistry::release(const QString& path)
{
    if (FObjects.erase(path) == 0)
        return false;
    afterRelease();
    return true;
}

int ObjectRegistry::releaseOwnedBy(const QString& owner)
{
    const int released = int(
        std::erase_if(FObjects, [&](const auto& entry) { return entry.second->owner() == owner; }));
    if (released > 0)
        afterRelease();
    return released;
}

bool ObjectRegistry::hasObjectsOf(const QString& owner) const
{
    return std::any_of(FObjects.begin(), FObjects.end(),
                       [&](const auto& entry) { return entry.second->owner() == owner; });
}

QStringList ObjectRegistry::childNodes() const
{
    QStringList nodes;
    for (const auto& entry : FObjects)
        nodes.append(entry.first.mid(FBasePath.size() + 1));
    return nodes;
}

void ObjectRegistry::afterRelease()
{
    emit objectCountChanged(count());
    if (FObjects.empty())
        emit lastReleased();
}

} // namespace karvel::server
