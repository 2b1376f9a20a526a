#include "object_registry.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace karvel::server {
namespace {

const QString kBase = QStringLiteral("/KarvelC/DataControlServ");

TEST(ObjectRegistryTest, ObjectsGetFreshPathsBelowTheFactory)
{
    ObjectRegistry registry(kBase, {});
    const QString a = registry.create(QStringLiteral(":1.7"));
    const QString b = registry.create(QStringLiteral(":1.8"));
    EXPECT_EQ(a, kBase + QStringLiteral("/Object1"));
    EXPECT_EQ(b, kBase + QStringLiteral("/Object2"));
    ASSERT_TRUE(registry.release(a));
    // A released path is never handed out again.
    EXPECT_EQ(registry.create(QStringLiteral(":1.7")), kBase + QStringLiteral("/Object3"));
    EXPECT_EQ(registry.childNodes(), (QStringList {"Object2", "Object3"}));
}

TEST(ObjectRegistryTest, LastReleaseIsAnnouncedOnce)
{
    ObjectRegistry registry(kBase, {});
    QSignalSpy last(&registry, &ObjectRegistry::lastReleased);
    const QString a = registry.create(QStringLiteral(":1.7"));
    const QString b = registry.create(QStringLiteral(":1.7"));
    EXPECT_TRUE(registry.release(a));
    EXPECT_EQ(last.count(), 0);
    EXPECT_FALSE(registry.release(a)); // already gone
    EXPECT_TRUE(registry.release(b));
    EXPECT_EQ(last.count(), 1);
    EXPECT_EQ(registry.find(b), nullptr);
}

TEST(ObjectRegistryTest, AClientLeavingReleasesAllItsObjectsOnly)
{
    ObjectRegistry registry(kBase, {});
    QSignalSpy last(&registry, &ObjectRegistry::lastReleased);
    registry.create(QStringLiteral(":1.7"));
    registry.create(QStringLiteral(":1.7"));
    const QString other = registry.create(QStringLiteral(":1.9"));

    EXPECT_EQ(registry.releaseOwnedBy(QStringLiteral(":1.7")), 2);
    EXPECT_FALSE(registry.hasObjectsOf(QStringLiteral(":1.7")));
    EXPECT_EQ(registry.count(), 1);
    EXPECT_NE(registry.find(other), nullptr);
    EXPECT_EQ(last.count(), 0);

    EXPECT_EQ(registry.releaseOwnedBy(QStringLiteral(":1.9")), 1);
    EXPECT_EQ(last.count(), 1);
    EXPECT_EQ(registry.releaseOwnedBy(QStringLiteral(":1.9")), 0);
    EXPECT_EQ(last.count(), 1);
}

TEST(ObjectRegistryTest, ObjectsWriteThroughTheGivenWriter)
{
    QStringList lines;
    ObjectRegistry registry(kBase, [&](const QString& line) { lines.append(line); });
    CountCall call;
    call.line = 3;
    call.netNum = 9;
    call.product = QStringLiteral("Рис");
    call.countC = 10000;
    call.countD = 5000;
    registry.find(registry.create(QStringLiteral(":1.7")))->AddCountLine(call);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.front().contains(
        QStringLiteral("  Линия 3; Продукт: Рис Сетевой номер:9;  С:1;  D:")))
        << lines.front().toStdString();
}

TEST(ConnectionPointTest, TakesASingleSink)
{
    TDataControlServ object(kBase + QStringLiteral("/Object1"), QStringLiteral(":1.7"), {});
    const auto first = object.Advise({QStringLiteral(":1.7"), QStringLiteral("/sink")});
    ASSERT_TRUE(first.has_value());
    EXPECT_NE(*first, 0u);
    EXPECT_EQ(object.sinkChanges(), 1);

    // A second sink is refused and the connect notification does not run for it.
    EXPECT_FALSE(object.Advise({QStringLiteral(":1.8"), QStringLiteral("/other")}).has_value());
    EXPECT_EQ(object.sinkChanges(), 1);
    EXPECT_EQ(object.eventSink()->path, QStringLiteral("/sink"));

    EXPECT_FALSE(object.Unadvise(*first + 1));
    EXPECT_TRUE(object.Unadvise(*first));
    EXPECT_FALSE(object.eventSink().has_value());
    EXPECT_EQ(object.sinkChanges(), 2);
    EXPECT_FALSE(object.Unadvise(*first));

    // Free again; the new connection has a new cookie.
    const auto second = object.Advise({QStringLiteral(":1.8"), QStringLiteral("/other")});
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*second, *first);
}

} // namespace
} // namespace karvel::server
