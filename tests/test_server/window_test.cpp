#include "close_warning.h"
#include "main_window.h"
#include "server_lifetime.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace karvel::server {
namespace {

TEST(WindowTest, LaysOutTheDesign)
{
    TForm1 form;
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("Тестовая программа для ПО \"Karvel_net\", Tolvik ZA_riz"));
    EXPECT_EQ(form.size(), QSize(681, 457));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // not resizable
    EXPECT_EQ(form.pos(), QPoint(192, 107));
    EXPECT_EQ(form.GroupBox1->geometry(), QRect(0, 0, 681, 457));
    EXPECT_TRUE(form.GroupBox1->title().isEmpty());
    EXPECT_EQ(form.Memo1->geometry(), QRect(8, 16, 665, 385));
    EXPECT_FALSE(form.Memo1->isReadOnly());
    EXPECT_EQ(form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(form.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(form.BitBtn1->text(), QStringLiteral("Очистить"));
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(256, 408, 153, 33));
}

TEST(WindowTest, LinesAreAppendedInOrderAndTheButtonClearsThem)
{
    TForm1 form;
    form.show();
    form.appendLine(QStringLiteral("first"));
    form.appendLine(QStringLiteral("first"));
    form.appendLine(QStringLiteral("second"));
    EXPECT_EQ(form.memoText(), QStringLiteral("first\nfirst\nsecond"));

    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_TRUE(form.memoText().isEmpty());

    form.appendLine(QStringLiteral("after"));
    EXPECT_EQ(form.memoText(), QStringLiteral("after"));
}

TEST(WindowTest, CloseWarningBoxAsksWithNoPreselected)
{
    const auto box = makeCloseWarningBox(nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("COM Server Warning"));
    EXPECT_EQ(box->text(),
              QStringLiteral("There are still active COM objects in this application.  One or "
                             "more clients may have references to these objects, so manually "
                             "closing this application may cause those client application(s) "
                             "to fail.\n\nAre you sure you want to close this application?"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
}

struct CloseCase {
    int objects;
    bool answer; // what the user answers when asked
    bool asked; // was the box shown
    bool closes;
};

class CloseTest : public ::testing::TestWithParam<CloseCase> { };

TEST_P(CloseTest, ClosingWithLiveObjectsAsksFirst)
{
    const CloseCase c = GetParam();
    ObjectRegistry registry(QStringLiteral("/KarvelC/DataControlServ"), {});
    for (int i = 0; i < c.objects; ++i)
        registry.create(QStringLiteral(":1.5"));
    ServerLifetime lifetime(StartMode::User, registry);
    TForm1 form;
    int asked = 0;
    form.setCloseGuard(makeCloseGuard(lifetime, &form, [&](QWidget* parent) {
        EXPECT_EQ(parent, &form);
        ++asked;
        return c.answer;
    }));
    form.show();
    EXPECT_EQ(form.close(), c.closes);
    EXPECT_EQ(form.isVisible(), !c.closes);
    EXPECT_EQ(asked, c.asked ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, CloseTest,
                         ::testing::Values(CloseCase {0, false, false, true},
                                           CloseCase {1, false, true, false},
                                           CloseCase {2, true, true, true}));

// The end is announced from the event loop, after the release has been answered.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

TEST(LifetimeTest, AServerTheBusStartedEndsWithItsLastObject)
{
    ObjectRegistry registry(QStringLiteral("/KarvelC/DataControlServ"), {});
    ServerLifetime lifetime(StartMode::Automation, registry);
    QSignalSpy end(&lifetime, &ServerLifetime::endRequested);
    const QString a = registry.create(QStringLiteral(":1.5"));
    const QString b = registry.create(QStringLiteral(":1.6"));
    registry.release(a);
    settle();
    EXPECT_EQ(end.count(), 0);
    registry.release(b);
    EXPECT_EQ(end.count(), 0); // not from inside the call
    settle();
    EXPECT_EQ(end.count(), 1);
}

TEST(LifetimeTest, AnObjectCreatedBeforeTheNoticeKeepsTheServer)
{
    ObjectRegistry registry(QStringLiteral("/KarvelC/DataControlServ"), {});
    ServerLifetime lifetime(StartMode::Automation, registry);
    QSignalSpy end(&lifetime, &ServerLifetime::endRequested);
    registry.release(registry.create(QStringLiteral(":1.5")));
    registry.create(QStringLiteral(":1.6"));
    settle();
    EXPECT_EQ(end.count(), 0);
}

TEST(LifetimeTest, AServerAUserStartedKeepsRunning)
{
    ObjectRegistry registry(QStringLiteral("/KarvelC/DataControlServ"), {});
    ServerLifetime lifetime(StartMode::User, registry);
    QSignalSpy end(&lifetime, &ServerLifetime::endRequested);
    registry.release(registry.create(QStringLiteral(":1.5")));
    settle();
    EXPECT_EQ(end.count(), 0);
}

// A server the bus started for a client that then never asks for an object.
struct FirstObjectCase {
    StartMode mode;
    bool objectAsked;
    bool ends;
};

class FirstObjectWait : public ::testing::TestWithParam<FirstObjectCase> { };

TEST_P(FirstObjectWait, NoObjectInTimeEndsAServerTheBusStarted)
{
    const auto [mode, objectAsked, ends] = GetParam();
    ObjectRegistry registry(QStringLiteral("/KarvelC/DataControlServ"), {});
    ServerLifetime lifetime(mode, registry);
    QSignalSpy end(&lifetime, &ServerLifetime::endRequested);
    lifetime.waitForFirstObject(std::chrono::milliseconds(50));
    if (objectAsked)
        registry.create(QStringLiteral(":1.5"));
    // Well past the wait: either the end came or it will not.
    EXPECT_EQ(end.wait(ends ? 5000 : 300), ends);
    EXPECT_EQ(end.count(), ends ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Starts, FirstObjectWait,
                         ::testing::Values(FirstObjectCase {StartMode::Automation, false, true},
                                           FirstObjectCase {StartMode::Automation, true, false},
                                           FirstObjectCase {StartMode::User, false, false}));

} // namespace
} // namespace karvel::server
