// Start-up, loading, the handlers and shutdown of the main program without windows, on
// the private session bus with the recording accounting server.
#include "account_journal.h"
#include "config_store.h"
#include "cp1251.h"
#include "crypt_psw.h"
#include "main_core.h"
#include "recorder_process.h"
#include "wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "qstring_print.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace karvel {
namespace {

using test::TRecorderProcess;
using test::UniqueName;

const QString kControl = QStringLiteral("Software\\Vistam\\Karvel_net\\Control");
const QString kPortParam = QStringLiteral("Software\\Vistam\\Karvel_net\\PortParam");
QString Line(int n)
{
    return QStringLiteral("Software\\Vistam\\Karvel_net\\Line%1").arg(n);
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

using test::WaitUntil;

class TRecordingListener : public TMainListener {
public:
    void StatusText(int line, const QString& text) override
    {
        status.append(QStringLiteral("%1:%2").arg(line).arg(text));
    }
    void ShowState(const QStringList& lines) override { states.append(lines); }
    void AccountingTrouble(const QString& text) override { trouble.append(text); }
    void ShowMessage(const QString& text) override { messages.append(text); }
    QStringList status;
    QStringList messages;
    QList<QStringList> states;
    QStringList trouble;
};

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config_.isValid() && programDir_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        storePath_ = TConfigStore::DefaultPath();
    }

    TCoreOptions Options() const
    {
        TCoreOptions o;
        o.programDir = programDir_.path();
        o.storePath = storePath_;
        o.freeTerminalsWait = std::chrono::milliseconds(0);
        o.callTimeoutMs = 1000;
        o.retryPeriodMs = 50;
        o.clock = [] { return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4)); };
        o.locale = QLocale(QLocale::Russian, QLocale::Russia);
        return o;
    }

    std::unique_ptr<TMainCore> MakeCore()
    {
        return std::make_unique<TMainCore>(Options(), &listener_);
    }

    // A store whose Control names `progId` and whose lines hold the given slots.
    void WriteStore(const QString& progId, const std::function<void(TConfigStore&)>& more = {})
    {
        TConfigStore store(storePath_);
        store.WriteString(kControl, "Name", progId);
        store.WriteString(kControl, "Password", CryptPsw("secret"));
        for (int n = 1; n <= 4; ++n) {
            store.WriteBool(Line(n), "TerminalType", false);
            for (int i = 1; i <= 30; ++i) {
                store.WriteInteger(Line(n), QStringLiteral("NetNum%1").arg(i), 0);
                store.WriteString(Line(n), QStringLiteral("NameP%1").arg(i),
                                  QStringLiteral("П%1-%2").arg(n).arg(i));
            }
        }
        if (more)
            more(store);
        store.Flush();
    }

    static void LogOn(TConfigStore& store, bool on)
    {
        store.WriteBool(kPortParam, "LogWr", on);
        store.WriteBool(kPortParam, "SoundStop", false);
        store.WriteBool(kPortParam, "SoundMode", true);
    }

    QString ProgramFile(const QString& name) const
    {
        return QDir(programDir_.path()).filePath(name);
    }

    QTemporaryDir config_;
    QTemporaryDir programDir_;
    QString storePath_;
    TRecordingListener listener_;
};

QByteArray FirstStartText()
{
    QString text = QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Control]\n"
                                  "\"Name\"=\"KarvelC.DataControlServ\"\n"
                                  "\"Password\"=\">7?012>7?012>7?01\"\n");
    for (int n = 1; n <= 4; ++n) {
        text += QStringLiteral("\n[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Line%1]\n"
                               "\"TerminalType\"=dword:00000000\n")
                    .arg(n);
        for (int i = 1; i <= 30; ++i)
            text +=
                QStringLiteral("\"NetNum%1\"=dword:00000000\n\"NameP%1\"=\"Продукт %1\"\n").arg(i);
    }
    return text.toUtf8();
}

TEST_F(CoreTest, FirstStartWritesTheDefaultsExactlyAndASecondStartWritesNothing)
{
    TRecorderProcess server("KarvelC.DataControlServ");
    {
        auto core = MakeCore();
        EXPECT_EQ(core->FormCreate(), QStringList());
        EXPECT_EQ(ReadAll(storePath_), FirstStartText());
        EXPECT_EQ(core->AdminPassword(), QStringLiteral("90876590876590876"));
        ASSERT_NE(core->AccountServer(), nullptr);
        for (int n = 1; n <= 4; ++n)
            EXPECT_TRUE(core->LineList(n).empty());
        EXPECT_FALSE(core->LogFlg());
        EXPECT_FALSE(core->SoundStop());
        core->FormDestroy();
        EXPECT_TRUE(core->AdminPassword().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(ProgramFile("log.txt")));
    struct stat first { };
    ASSERT_EQ(::stat(QFile::encodeName(storePath_).constData(), &first), 0);
    EXPECT_EQ(first.st_mode & 0777, 0600u);
    {
        auto core = MakeCore();
        EXPECT_EQ(core->FormCreate(), QStringList());
    }
    struct stat second { };
    ASSERT_EQ(::stat(QFile::encodeName(storePath_).constData(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino);
    EXPECT_EQ(first.st_mtim.tv_nsec, second.st_mtim.tv_nsec);
    EXPECT_EQ(first.st_mtim.tv_sec, second.st_mtim.tv_sec);
    EXPECT_EQ(ReadAll(storePath_), FirstStartText());
    EXPECT_EQ(server.Calls(), (QStringList {"CreateObject", "Release", "CreateObject", "Release"}));
}

TEST_F(CoreTest, SlotsBecomeObjectsInSlotOrder)
{
    TRecorderProcess server(UniqueName("KarvelT.Core"));
    WriteStore(server.Name(), [](TConfigStore& s) {
        s.WriteInteger(Line(2), "NetNum3", 40);
        s.WriteInteger(Line(2), "NetNum7", 257); // low byte 1
        s.WriteInteger(Line(2), "NetNum12", 40); // the same number again: a second object
        s.WriteInteger(Line(2), "NetNum20", 256); // low byte 0: empty
        s.WriteBool(Line(3), "TerminalType", true);
        s.WriteInteger(Line(3), "NetNum30", 9);
        s.WriteInteger(Line(4), "NetNum1", 512); // no configured slot at all
    });
    auto core = MakeCore();
    EXPECT_EQ(core->FormCreate(), QStringList());
    const TLineList& line2 = core->LineList2();
    ASSERT_EQ(line2.size(), 3u);
    struct Expect {
        uint8_t netNum;
        QString product;
    } expect[] = {{40, "П2-3"}, {1, "П2-7"}, {40, "П2-12"}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(line2[i]->ExternNum, i);
        EXPECT_EQ(line2[i]->NetNum, expect[i].netNum);
        EXPECT_EQ(QString::fromStdString(line2[i]->Product), expect[i].product);
        EXPECT_TRUE(line2[i]->TypeWMeh); // TerminalType false: KR-200
    }
    ASSERT_EQ(core->LineList3().size(), 1u);
    EXPECT_FALSE(core->LineList3()[0]->TypeWMeh);
    EXPECT_TRUE(core->LineList1().empty());
    EXPECT_TRUE(core->LineList4().empty());
    EXPECT_EQ(core->AdminPassword(), QStringLiteral("secret"));

    // A reload builds everything anew.
    core->FreeTerminals();
    EXPECT_TRUE(core->LineList2().empty());
    EXPECT_EQ(core->LoadConfig(), std::nullopt);
    EXPECT_EQ(core->LineList2().size(), 3u);
}

TEST_F(CoreTest, ConnectionStringFile)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> bdl;
        QStringList calls;
    } cases[] = {
        {"present",
         QByteArray("\xD1\xF2\xF0\xEE\xEA\xE0=1\r\nsecond line\r\n"),
         {QStringLiteral("Connect(s): Строка=1")}},
        {"without line end", QByteArray("db"), {"Connect(s): db"}},
        {"empty", QByteArray(), {"Connect(s): "}},
        {"absent", std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRecorderProcess server(UniqueName("KarvelT.Bdl"));
        WriteStore(server.Name(), [](TConfigStore& s) { s.WriteInteger(Line(1), "NetNum1", 3); });
        QFile::remove(ProgramFile("bdl.txt"));
        if (c.bdl)
            WriteAll(ProgramFile("bdl.txt"), *c.bdl);
        auto core = MakeCore();
        EXPECT_EQ(core->FormCreate(), QStringList());
        EXPECT_EQ(server.MethodCalls(), c.calls);
        EXPECT_EQ(core->LineList1().size(), 1u);
    }
}

TEST_F(CoreTest, StartUpFailuresSkipTheRemainingSteps)
{
    struct Case {
        const char* name;
        bool emptyName;
        bool serverRuns;
        QStringList serverArgs;
        bool bdl;
        QStringList messageParts; // one part per message box
        bool linesLoaded;
    } cases[] = {
        {"no name, no bdl.txt", true, false, {}, false, {TMainCore::kNotConfigured}, true},
        {"no name, bdl.txt",
         true,
         false,
         {},
         true,
         {TMainCore::kNotConfigured, "8000FFFFh"},
         false},
        {"server not registered", false, false, {}, false, {"80040154h"}, false},
        {"server without Connect", false, true, {"--no-connect"}, true, {"80020006h"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = UniqueName("KarvelT.Fail");
        std::unique_ptr<TRecorderProcess> server;
        if (c.serverRuns)
            server = std::make_unique<TRecorderProcess>(name, c.serverArgs);
        WriteStore(c.emptyName ? QString() : name,
                   [](TConfigStore& s) { s.WriteInteger(Line(1), "NetNum1", 3); });
        QFile::remove(ProgramFile("bdl.txt"));
        if (c.bdl)
            WriteAll(ProgramFile("bdl.txt"), "x\r\n");
        auto core = MakeCore();
        const QStringList messages = core->FormCreate();
        ASSERT_EQ(messages.size(), c.messageParts.size()) << messages.join(" / ").toStdString();
        for (qsizetype i = 0; i < messages.size(); ++i)
            EXPECT_TRUE(messages[i].contains(c.messageParts[i])) << messages[i].toStdString();
        EXPECT_EQ(core->LineList1().size(), c.linesLoaded ? 1u : 0u);
        EXPECT_EQ(core->AccountServer() != nullptr, c.serverRuns);
    }
}

TEST_F(CoreTest, StartUpAndReloadShowTheirErrorsInMessageBoxes)
{
    WriteStore(QString(), [](TConfigStore& s) { s.WriteInteger(Line(1), "NetNum1", 3); });
    auto core = MakeCore();
    core->StartUp();
    EXPECT_EQ(listener_.messages, QStringList {TMainCore::kNotConfigured});
    EXPECT_TRUE(core->Reload());
    EXPECT_EQ(core->LineList1().size(), 1u);
    {
        TConfigStore store(storePath_);
        store.WriteString(Line(1), "TerminalType", "yes");
        store.Flush();
    }
    EXPECT_FALSE(core->Reload());
    ASSERT_EQ(listener_.messages.size(), 2);
    EXPECT_TRUE(listener_.messages[1].contains("TerminalType"));
    EXPECT_TRUE(core->LineList1().empty());
}

TEST_F(CoreTest, AStoreThatCannotBeParsedIsReportedAndNeverOverwritten)
{
    const QByteArray broken =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\"x\"=dword:\n";
    WriteAll(storePath_, broken);
    auto core = MakeCore();
    const QStringList messages = core->FormCreate();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("строка 4"))) << messages[0].toStdString();
    EXPECT_EQ(core->LoadConfig().value_or(QString()).contains(QStringLiteral("строка 4")), true);
    core->FormDestroy();
    EXPECT_EQ(ReadAll(storePath_), broken);
}

TEST_F(CoreTest, AFaultyValueEndsTheLoadWhereItStands)
{
    TRecorderProcess server(UniqueName("KarvelT.Load"));
    WriteStore(server.Name(), [](TConfigStore& s) {
        s.WriteInteger(Line(1), "NetNum1", 3);
        s.WriteInteger(Line(2), "NetNum2", 4);
        s.WriteString(Line(3), "NetNum5", "7"); // a string where an integer belongs
        s.WriteInteger(Line(4), "NetNum1", 5);
    });
    auto core = MakeCore();
    const QStringList messages = core->FormCreate();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("NetNum5") && messages[0].contains("Line3"))
        << messages[0].toStdString();
    EXPECT_EQ(core->LineList1().size(), 1u);
    EXPECT_EQ(core->LineList2().size(), 1u);
    EXPECT_TRUE(core->LineList4().empty());
}

TEST_F(CoreTest, ABookedChangeReachesTheServerWithItsFourArgumentsInOrder)
{
    TRecorderProcess server(UniqueName("KarvelT.Book"));
    WriteStore(server.Name(), [](TConfigStore& s) {
        s.WriteInteger(Line(2), "NetNum4", 12);
        s.WriteString(Line(2), "NameP4", QStringLiteral("Пшеница"));
    });
    auto core = MakeCore();
    ASSERT_EQ(core->FormCreate(), QStringList());
    ASSERT_EQ(core->LineList2().size(), 1u);
    // What the terminal object raises when it books a change.
    core->LineList2()[0]->FOnChangeCount(12, 10.25, 1234.5, "10.25", "1234.50");
    EXPECT_EQ(server.MethodCalls(),
              QStringList {QStringLiteral("AddCountLine2(ysdd): 12|Пшеница|1234.5|10.25")});
    EXPECT_EQ(listener_.status,
              QStringList {QStringLiteral("2:Весы: Пшеница; № 12; C: 1234.50; d: 10.25")});
}

TEST_F(CoreTest, WithoutAnAccountingObjectOnlyTheStatusTextChanges)
{
    WriteStore(QString(), [](TConfigStore& s) { s.WriteInteger(Line(3), "NetNum1", 8); });
    auto core = MakeCore();
    EXPECT_EQ(core->FormCreate(), QStringList {TMainCore::kNotConfigured});
    core->LineList3()[0]->FOnChangeCount(8, 1, 2, "1", "2");
    EXPECT_EQ(listener_.status, QStringList {QStringLiteral("3:Весы: П3-1; № 8; C: 2; d: 1")});
    EXPECT_FALSE(QFile::exists(ProgramFile(TAccountJournal::kFileName)));
}

TEST_F(CoreTest, WorkLogLinesByteForByte)
{
    TRecorderProcess server(UniqueName("KarvelT.Log"));
    WriteStore(server.Name(), [](TConfigStore& s) {
        s.WriteInteger(Line(1), "NetNum1", 5);
        LogOn(s, true);
    });
    WriteAll(ProgramFile("log.txt"), "earlier\r\n");
    auto core = MakeCore();
    ASSERT_EQ(core->FormCreate(), QStringList());
    EXPECT_TRUE(core->LogFlg());
    core->LineList1()[0]->FOnConnectFalse(5);
    core->LineList1()[0]->FOnConnectFalse(5); // reported twice: two lines, one entry
    ASSERT_EQ(listener_.states.size(), 2);
    EXPECT_EQ(listener_.states.back(),
              QStringList {QStringLiteral("Линия 1  Весы 5 - отсутствует связь!")});
    core->LineList1()[0]->FOnConnectTrue(5);
    EXPECT_EQ(core->StateLists().FindPin(1, 5), -1);
    EXPECT_EQ(listener_.states.size(), 2); // a return does not refresh the view
    // A reload with the log now off keeps it open and writes no second start line.
    {
        TConfigStore store(storePath_);
        LogOn(store, false);
        store.Flush();
    }
    core->FreeTerminals();
    EXPECT_EQ(core->LoadConfig(), std::nullopt);
    EXPECT_TRUE(core->LogFlg());
    core->LineList1()[0]->FOnConnectFalse(5);
    core->FormDestroy();
    const QByteArray d = "07.03.2026 09:05:04";
    const QByteArray line1 = " \xCB\xE8\xED\xE8\xFF 1, \xC2\xE5\xF1\xFB  5  -  ";
    const QByteArray lost = "\xCF\xEE\xF2\xE5\xF0\xFF \xF1\xE2\xFF\xE7\xE8\r\n";
    EXPECT_EQ(ReadAll(ProgramFile("log.txt")),
              "earlier\r\n" + d + "  -  \xD1\xF2\xE0\xF0\xF2\r\n" + d + line1 + lost + d + line1 +
                  lost + d + line1 +
                  "\xC2\xEE\xE7\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5 \xF1\xE2\xFF\xE7\xE8\r\n" +
                  d + line1 + lost + d + "  -  \xD1\xF2\xEE\xEF\r\n");
}

TEST_F(CoreTest, LogOffWritesNothing)
{
    TRecorderProcess server(UniqueName("KarvelT.NoLog"));
    WriteStore(server.Name(), [](TConfigStore& s) {
        s.WriteInteger(Line(1), "NetNum1", 5);
        LogOn(s, false);
    });
    auto core = MakeCore();
    ASSERT_EQ(core->FormCreate(), QStringList());
    core->LineList1()[0]->FOnConnectFalse(5);
    core->FormDestroy();
    EXPECT_FALSE(QFile::exists(ProgramFile("log.txt")));
}

TEST_F(CoreTest, SoundFileThatCannotBeOpenedEndsTheLoad)
{
    TRecorderProcess server(UniqueName("KarvelT.Sound"));
    WriteStore(server.Name(), [](TConfigStore& s) {
        s.WriteInteger(Line(1), "NetNum1", 5);
        s.WriteBool(kPortParam, "LogWr", false);
        s.WriteBool(kPortParam, "SoundStop", true);
        s.WriteBool(kPortParam, "SoundMode", false);
        s.WriteString(kPortParam, "SoundFileName", "/nowhere/alarm.wav");
    });
    auto core = MakeCore();
    QStringList opened;
    core->OpenSoundFile = [&](const QString& file) -> std::optional<QString> {
        opened.append(file);
        return QStringLiteral("no device open");
    };
    EXPECT_EQ(core->FormCreate(), QStringList {"no device open"});
    EXPECT_EQ(opened, QStringList {"/nowhere/alarm.wav"});
    EXPECT_EQ(core->LineList1().size(), 1u); // loaded before the options
    EXPECT_TRUE(core->SoundStop());
}

class ForwardingTest : public CoreTest {
protected:
    void Start(const QString& name, bool withLog = true)
    {
        WriteStore(name, [&](TConfigStore& s) {
            s.WriteInteger(Line(1), "NetNum1", 5);
            s.WriteString(Line(1), "NameP1", QStringLiteral("Рожь"));
            LogOn(s, withLog);
        });
        core_ = MakeCore();
        ASSERT_EQ(core_->FormCreate(), QStringList());
    }
    void Book(double c, double d) { core_->LineList1()[0]->FOnChangeCount(5, d, c, "d", "c"); }
    static QString Sent(double c, double d)
    {
        return QStringLiteral("AddCountLine1(ysdd): 5|Рожь|%1|%2").arg(c).arg(d);
    }
    std::unique_ptr<TMainCore> core_;
};

TEST_F(ForwardingTest, AChangeTheServerRefusesIsKeptAndSentFirstOnceCallsSucceed)
{
    TRecorderProcess server(UniqueName("KarvelT.Refuse"));
    Start(server.Name());
    server.SetFailing(true);
    Book(100, 1);
    Book(101, 1); // behind the first, no call of its own
    EXPECT_EQ(core_->AccountServer()->Waiting(), 2u);
    EXPECT_EQ(listener_.trouble.size(), 1);
    // Kept on the disk before the failure was reported.
    EXPECT_EQ(TAccountJournal(programDir_.path()).Size(), 2u);
    server.SetFailing(false);
    Book(102, 1); // the next change starts the journal going, and waits behind it
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Waiting() == 0; }));
    EXPECT_EQ(server.MethodCalls(), (QStringList {Sent(100, 1), Sent(101, 1), Sent(102, 1)}));
    EXPECT_FALSE(QFile::exists(ProgramFile(TAccountJournal::kFileName)));
    Book(103, 1); // straight through again
    EXPECT_EQ(server.MethodCalls().size(), 4);
    core_->FormDestroy();
    const QByteArray log = ReadAll(ProgramFile("log.txt"));
    EXPECT_EQ(log.count("\r\n"), 3) << log.toStdString(); // start, one failure, stop
    EXPECT_TRUE(
        log.contains(ToCp1251(QStringLiteral(" Линия 1, Весы  5  -  Учет не принял изменение"))));
    EXPECT_TRUE(log.contains("80020009h"));
}

TEST_F(ForwardingTest, ATimedOutCallIsKeptAndThePeriodicRetrySendsIt)
{
    TRecorderProcess server(UniqueName("KarvelT.Hang"));
    Start(server.Name(), false);
    server.SetDelay(4000);
    QElapsedTimer timer;
    timer.start();
    Book(200, 2);
    EXPECT_LT(timer.elapsed(), 3500); // bounded by the 1 s time-out, not the server
    ASSERT_EQ(core_->AccountServer()->Waiting(), 1u);
    EXPECT_TRUE(listener_.trouble.value(0).contains("800706BAh"));
    server.SetDelay(0);
    server.Clear();
    // No new change: the retry alone sends it.
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Waiting() == 0; }));
    EXPECT_EQ(server.MethodCalls().last(), Sent(200, 2));
}

TEST_F(ForwardingTest, AServerThatWasRestartedGetsANewObjectAndTheKeptChanges)
{
    const QString name = UniqueName("KarvelT.Restart");
    auto server = std::make_unique<TRecorderProcess>(name);
    Start(name, false);
    server->Kill();
    Book(300, 3);
    Book(301, 3);
    EXPECT_EQ(core_->AccountServer()->Waiting(), 2u);
    server = std::make_unique<TRecorderProcess>(name);
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Waiting() == 0; }));
    EXPECT_EQ(server->Calls(), (QStringList {"CreateObject", Sent(300, 3), Sent(301, 3)}));
    ASSERT_GE(listener_.trouble.size(), 2);
    EXPECT_FALSE(listener_.trouble.first().isEmpty());
    EXPECT_TRUE(listener_.trouble.last().isEmpty())
        << "the status line clears once the journal went out";
}

TEST_F(ForwardingTest, ARestartSeenOnTheBusIsFollowedWithoutAFailedCall)
{
    const QString name = UniqueName("KarvelT.Seen");
    auto server = std::make_unique<TRecorderProcess>(name);
    Start(name, false);
    server->Kill(); // the old server goes, a new one comes
    server = std::make_unique<TRecorderProcess>(name);
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Client().NeedsRecreate(); }));
    Book(400, 4);
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Waiting() == 0; }));
    EXPECT_EQ(server->Calls(), (QStringList {"CreateObject", Sent(400, 4)}));
    EXPECT_TRUE(listener_.trouble.isEmpty()) << listener_.trouble.join(" / ").toStdString();
}

TEST_F(ForwardingTest, AServerSeenLeavingTheBusIsReportedOnceWhileChangesWait)
{
    const QString name = UniqueName("KarvelT.Gone");
    auto server = std::make_unique<TRecorderProcess>(name);
    Start(name, false);
    server->Kill();
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Client().NeedsRecreate(); }));
    Book(500, 5); // no call of its own: it goes behind at once
    Book(501, 5);
    ASSERT_TRUE(WaitUntil([&] { return !listener_.trouble.isEmpty(); }));
    EXPECT_EQ(listener_.trouble.size(), 1) << "one report per outage";
    EXPECT_EQ(core_->AccountServer()->Waiting(), 2u);
    server = std::make_unique<TRecorderProcess>(name);
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Waiting() == 0; }, 15000));
    EXPECT_EQ(server->Calls(), (QStringList {"CreateObject", Sent(500, 5), Sent(501, 5)}));
    EXPECT_TRUE(listener_.trouble.last().isEmpty()) << "cleared once sent";
}

TEST_F(ForwardingTest, ChangesKeptByAnEarlierRunGoOutAfterStartUp)
{
    TRecorderProcess server(UniqueName("KarvelT.Earlier"));
    {
        TAccountJournal journal(programDir_.path());
        ASSERT_TRUE(journal.Append({3, 9, QStringLiteral("Ячмень"), 50.5, 0.5}));
    }
    Start(server.Name(), false);
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Waiting() == 0; }));
    EXPECT_EQ(server.MethodCalls(),
              QStringList {QStringLiteral("AddCountLine3(ysdd): 9|Ячмень|50.5|0.5")});
}

} // namespace
} // namespace karvel
