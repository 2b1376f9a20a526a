// Start-up, loading, the handlers and shutdown of the main program without windows, on
// the private session bus with the recording accounting server.
#include "account_journal.h"
#include "change_book.h"
#include "config_store.h"
#include "cp1251.h"
#include "crypt_psw.h"
#include "main_core.h"
#include "recorder_process.h"
#include "recording_listener.h"
#include "wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

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

using test::TRecordingListener;

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
        o.retryPeriodMs = retryPeriodMs_;
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

    int retryPeriodMs_ = 50;
    QTemporaryDir config_;
    QTemporaryDir programDir_;
    QString storePath_;
    TRecordingListener listener_;
};

QByteArray FirstStartText(const QString& stationId)
{
    QString text = QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Control]\n"
                                  "\"Name\"=\"KarvelC.DataControlServ\"\n"
                                  "\"Password\"=\">7?012>7?012>7?01\"\n"
                                  "\"StationId\"=\"%1\"\n")
                       .arg(stationId);
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
    QString stationId;
    {
        auto core = MakeCore();
        EXPECT_EQ(core->FormCreate(), QStringList());
        stationId = core->StationId();
        EXPECT_FALSE(QUuid::fromString(stationId).isNull()) << stationId.toStdString();
        EXPECT_EQ(ReadAll(storePath_), FirstStartText(stationId));
        EXPECT_EQ(core->AdminPassword(), QStringLiteral("90876590876590876"));
        ASSERT_NE(core->AccountServer(), nullptr);
        EXPECT_TRUE(WaitUntil([&] { return core->AccountServer()->Client().Ready(); }))
            << "the object is made without waiting";
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
        EXPECT_TRUE(WaitUntil([&] { return core->AccountServer()->Client().Ready(); }));
    }
    struct stat second { };
    ASSERT_EQ(::stat(QFile::encodeName(storePath_).constData(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino);
    EXPECT_EQ(first.st_mtim.tv_nsec, second.st_mtim.tv_nsec);
    EXPECT_EQ(first.st_mtim.tv_sec, second.st_mtim.tv_sec);
    EXPECT_EQ(ReadAll(storePath_), FirstStartText(stationId));
    // Releases are not waited for.
    EXPECT_TRUE(WaitUntil([&] { return server.Calls().size() == 4; }));
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
        EXPECT_EQ(core->LineList1().size(), 1u);
        // Sent as the first call once the object is made, without waiting.
        EXPECT_TRUE(WaitUntil([&] { return server.Calls().size() == 1 + c.calls.size(); }));
        EXPECT_EQ(server.MethodCalls(), c.calls);
    }
}

// Failures found without the bus end the start-up where they happen; failures of the
// bus calls, which never wait, come as message boxes later while the lines are polled.
TEST_F(CoreTest, StartUpFailures)
{
    struct Case {
        const char* name;
        bool emptyName;
        bool serverRuns;
        QStringList serverArgs;
        bool bdl;
        QStringList messageParts; // one part per message box of FormCreate
        QStringList laterParts; // one part per message box shown later
        bool linesLoaded;
    } cases[] = {
        {"no name, no bdl.txt", true, false, {}, false, {TMainCore::kNotConfigured}, {}, true},
        {"no name, bdl.txt",
         true,
         false,
         {},
         true,
         {TMainCore::kNotConfigured, "8000FFFFh"},
         {},
         false},
        {"server not registered", false, false, {}, false, {}, {"80040154h"}, true},
        {"server without Connect", false, true, {"--no-connect"}, true, {}, {"80020006h"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        listener_.messages.clear();
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
        EXPECT_EQ(core->AccountServer() != nullptr, !c.emptyName);
        EXPECT_TRUE(
            WaitUntil([&] { return listener_.messages.size() >= c.laterParts.size(); }, 5000));
        ASSERT_EQ(listener_.messages.size(), c.laterParts.size())
            << listener_.messages.join(" / ").toStdString();
        for (qsizetype i = 0; i < c.laterParts.size(); ++i)
            EXPECT_TRUE(listener_.messages[i].contains(c.laterParts[i]))
                << listener_.messages[i].toStdString();
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

TEST_F(CoreTest, ABookedChangeReachesTheServerWithItsArgumentsInOrder)
{
    struct Case {
        const char* what;
        QStringList serverArgs;
        QString call; // %1: the change's identity
    } cases[] = {
        {"legacy", {}, QStringLiteral("AddCountLine2(ysdd): 12|Пшеница|1234.5|10.25")},
        {"extended",
         {"--addcount"},
         QStringLiteral("AddCount(yysdds): 2|12|Пшеница|1234.5|10.25|%1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        listener_.status.clear();
        TRecorderProcess server(UniqueName("KarvelT.Book"), c.serverArgs);
        WriteStore(server.Name(), [](TConfigStore& s) {
            s.WriteInteger(Line(2), "NetNum4", 12);
            s.WriteString(Line(2), "NameP4", QStringLiteral("Пшеница"));
        });
        auto core = MakeCore();
        ASSERT_EQ(core->FormCreate(), QStringList());
        ASSERT_EQ(core->LineList2().size(), 1u);
        // What the terminal object raises when it books a change.
        core->LineList2()[0]->FOnChangeCount(12, 10.25, 1234.5, "10.25", "1234.50");
        EXPECT_EQ(listener_.status,
                  QStringList {QStringLiteral("2:Весы: Пшеница; № 12; C: 1234.50; d: 10.25")});
        const auto waiting = core->Book()->Ledger().Waiting(ledger::kSinkDbus, 0, 10);
        ASSERT_EQ(waiting.size(), 1u) << "in the ledger before any answer";
        const QString id = QString::fromStdString(waiting[0].change.changeId);
        EXPECT_TRUE(id.startsWith(core->StationId() + u':')) << id.toStdString();
        ASSERT_TRUE(WaitUntil([&] { return !server.MethodCalls().isEmpty(); }));
        const QString expected = c.call.contains(u"%1") ? c.call.arg(id) : c.call;
        EXPECT_EQ(server.MethodCalls(), QStringList {expected});
        ASSERT_TRUE(WaitUntil([&] { return core->AccountServer()->Waiting() == 0; }));
    }
}

TEST_F(CoreTest, WithoutAnAccountingObjectOnlyTheStatusTextChanges)
{
    WriteStore(QString(), [](TConfigStore& s) { s.WriteInteger(Line(3), "NetNum1", 8); });
    {
        TAccountJournal journal(programDir_.path());
        ASSERT_TRUE(journal.Append({3, 8, QStringLiteral("П3-1"), 1, 1}));
    }
    ASSERT_EQ(TAccountJournal(programDir_.path()).Size(), 1u);
    auto core = MakeCore();
    EXPECT_EQ(core->FormCreate(), QStringList {TMainCore::kNotConfigured});
    EXPECT_EQ(TAccountJournal(programDir_.path()).Size(), 1u)
        << "an older journal waits for a start with an accounting server";
    core->LineList3()[0]->FOnChangeCount(8, 1, 2, "1", "2");
    EXPECT_EQ(listener_.status, QStringList {QStringLiteral("3:Весы: П3-1; № 8; C: 2; d: 1")});
    EXPECT_EQ(
        core->Book()->Ledger().CountInState(ledger::kSinkDbus, ledger::TDeliveryState::Waiting), 0)
        << "kept in the ledger, but not for later forwarding";
}

TEST_F(CoreTest, TheStationIdIsMadeOnceAndKept)
{
    struct Case {
        const char* what;
        QString stored;
        bool kept;
    } cases[] = {
        {"missing (an older store)", QString(), false},
        {"present", QStringLiteral("0b3735a9-db88-4e62-a148-d357e9f6f15d"), true},
        {"not a UUID", QStringLiteral("station 1"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteStore(QString(), [&](TConfigStore& s) {
            if (!c.stored.isEmpty())
                s.WriteString(kControl, "StationId", c.stored);
        });
        QString first;
        {
            auto core = MakeCore();
            core->FormCreate();
            first = core->StationId();
        }
        EXPECT_FALSE(QUuid::fromString(first).isNull());
        EXPECT_EQ(first == c.stored, c.kept);
        auto again = MakeCore();
        again->FormCreate();
        EXPECT_EQ(again->StationId(), first) << "written, and read the next time";
        EXPECT_EQ(TConfigStore(storePath_).ReadString(kControl, "StationId"), first);
    }
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
            s.WriteInteger(Line(1), "NetNum2", 6);
            s.WriteString(Line(1), "NameP2", QStringLiteral("Ячмень"));
            LogOn(s, withLog);
        });
        core_ = MakeCore();
        ASSERT_EQ(core_->FormCreate(), QStringList());
    }
    void Book(double c, double d) { core_->LineList1()[0]->FOnChangeCount(5, d, c, "d", "c"); }
    void BookBarley(double c, double d)
    {
        core_->LineList1()[1]->FOnChangeCount(6, d, c, "d", "c");
    }
    static QString Sent(double c, double d)
    {
        return QStringLiteral("AddCountLine1(ysdd): 5|Рожь|%1|%2").arg(c).arg(d);
    }
    static QString SentBarley(double c, double d)
    {
        return QStringLiteral("AddCountLine1(ysdd): 6|Ячмень|%1|%2").arg(c).arg(d);
    }
    bool Drained(int ms = 10000)
    {
        return WaitUntil(
            [&] {
                return core_->AccountServer()->Waiting() == 0 && !core_->AccountServer()->Sending();
            },
            ms);
    }
    std::unique_ptr<TMainCore> core_;
};

TEST_F(ForwardingTest, ATransientRefusalHoldsTheOrderAndTheChangeGoesFirstLater)
{
    TRecorderProcess server(UniqueName("KarvelT.Refuse"));
    retryPeriodMs_ = 1000; // time to stop the refusals before the second attempt
    Start(server.Name());
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Client().Ready(); }));
    server.SetFailing(true); // the server's own error, the first time: offered again
    Book(100, 1);
    Book(101, 1);
    ASSERT_TRUE(WaitUntil([&] { return !listener_.trouble.isEmpty(); }));
    EXPECT_EQ(core_->AccountServer()->Waiting(), 2);
    server.SetFailing(false);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(server.MethodCalls(), (QStringList {Sent(100, 1), Sent(101, 1)}));
    EXPECT_TRUE(listener_.trouble.last().isEmpty()) << "the status line clears";
    core_->FormDestroy();
    const QByteArray log = ReadAll(ProgramFile("log.txt"));
    EXPECT_EQ(log.count("\r\n"), 3) << log.toStdString(); // start, one failure, stop
    EXPECT_TRUE(
        log.contains(ToCp1251(QStringLiteral(" Линия 1, Весы  5  -  Учет не принял изменение"))));
    EXPECT_TRUE(log.contains("80020009h"));
}

// A production server that does not know a product refuses it for good; every other
// change keeps arriving, the refused one is set aside with its error, and the operator
// may send it again or discard it.
TEST_F(ForwardingTest, AChangeRefusedForGoodIsSetAsideAndTheOthersKeepArriving)
{
    struct Case {
        const char* what;
        QString error;
        int callsOfRefused; // attempts the server saw of the refused change
    } cases[] = {
        {"unknown method", "org.freedesktop.DBus.Error.UnknownMethod", 1},
        {"invalid arguments", "org.freedesktop.DBus.Error.InvalidArgs", 1},
        {"the server's own error, three times", "com.example.Accounting.UnknownProduct", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        listener_ = {};
        TRecorderProcess server(UniqueName("KarvelT.SetAside"));
        Start(server.Name());
        server.SetRefused(QStringLiteral("Рожь"), c.error);
        Book(100, 1);
        BookBarley(200, 2);
        BookBarley(201, 1);
        ASSERT_TRUE(Drained());
        EXPECT_EQ(server.MethodCalls(), (QStringList {SentBarley(200, 2), SentBarley(201, 1)}));
        const auto aside = core_->SetAsideList();
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(aside[0].change.product, "Рожь");
        EXPECT_EQ(aside[0].attempts, c.callsOfRefused);
        EXPECT_TRUE(QString::fromStdString(aside[0].lastError).contains(c.error))
            << aside[0].lastError;
        ASSERT_FALSE(listener_.trouble.isEmpty());
        EXPECT_TRUE(listener_.trouble.last().contains(QStringLiteral("отложено")))
            << listener_.trouble.last().toStdString();
        EXPECT_EQ(listener_.setAsideChanges, 1);

        // Sent again once the server knows the product.
        server.SetRefused(QString(), QString());
        ASSERT_TRUE(core_->SendAgain(aside[0].change.seq));
        ASSERT_TRUE(Drained());
        EXPECT_EQ(server.MethodCalls().last(), Sent(100, 1));
        EXPECT_TRUE(core_->SetAsideList().empty());
        core_.reset();
        const QByteArray log = ReadAll(ProgramFile("log.txt"));
        EXPECT_EQ(log.count(ToCp1251(QStringLiteral("Учет отказал в изменении"))), 1)
            << log.toStdString();
        QFile::remove(ProgramFile("log.txt"));
    }
}

TEST_F(ForwardingTest, ADiscardedChangeStaysInTheLedgerAsDiscarded)
{
    TRecorderProcess server(UniqueName("KarvelT.Discard"));
    Start(server.Name(), false);
    server.SetRefused(QStringLiteral("Рожь"), "org.freedesktop.DBus.Error.InvalidArgs");
    Book(100, 1);
    ASSERT_TRUE(Drained());
    const auto aside = core_->SetAsideList();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_FALSE(core_->Discard(aside[0].change.seq + 1)) << "not set aside: nothing to discard";
    ASSERT_TRUE(core_->Discard(aside[0].change.seq));
    EXPECT_TRUE(core_->SetAsideList().empty());
    EXPECT_EQ(
        core_->Book()->Ledger().CountInState(ledger::kSinkDbus, ledger::TDeliveryState::Discarded),
        1);
    EXPECT_FALSE(core_->SendAgain(aside[0].change.seq)) << "a discarded change stays discarded";
}

// The server takes the call but answers only after the time-out: the change is offered
// again. A server without identities books it twice (it cannot tell); one with
// AddCount books it once.
TEST_F(ForwardingTest, AServerAnsweringAfterTheTimeOut)
{
    struct Case {
        const char* what;
        QStringList args;
        int booked;
    } cases[] = {{"legacy", {}, 2}, {"extended", {"--addcount"}, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRecorderProcess server(UniqueName("KarvelT.Late"), c.args);
        Start(server.Name(), false);
        ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Client().Ready(); }));
        server.SetDelay(1500); // the time-out is 1 s
        QElapsedTimer timer;
        timer.start();
        Book(200, 2);
        EXPECT_LT(timer.elapsed(), 50) << "booking never waits for the server";
        ASSERT_TRUE(WaitUntil([&] { return !listener_.trouble.isEmpty(); }));
        EXPECT_TRUE(listener_.trouble.first().contains("800706BAh"))
            << listener_.trouble.first().toStdString();
        server.SetDelay(0);
        ASSERT_TRUE(Drained());
        EXPECT_EQ(server.MethodCalls().size(), c.booked)
            << server.MethodCalls().join(" / ").toStdString();
        core_.reset();
        listener_ = {};
    }
}

TEST_F(ForwardingTest, AServerThatWasRestartedGetsANewObjectAndTheWaitingChanges)
{
    const QString name = UniqueName("KarvelT.Restart");
    auto server = std::make_unique<TRecorderProcess>(name);
    Start(name, false);
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Client().Ready(); }));
    server->Kill();
    Book(300, 3);
    Book(301, 3);
    EXPECT_EQ(core_->AccountServer()->Waiting(), 2);
    ASSERT_TRUE(WaitUntil([&] { return !listener_.trouble.isEmpty(); }));
    server = std::make_unique<TRecorderProcess>(name);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(server->Calls(), (QStringList {"CreateObject", Sent(300, 3), Sent(301, 3)}));
    EXPECT_FALSE(listener_.trouble.first().isEmpty());
    EXPECT_TRUE(listener_.trouble.last().isEmpty())
        << "the status line clears once everything went out";
}

TEST_F(ForwardingTest, ARestartSeenOnTheBusIsFollowedWithoutAFailedCall)
{
    const QString name = UniqueName("KarvelT.Seen");
    auto server = std::make_unique<TRecorderProcess>(name);
    Start(name, false);
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Client().Ready(); }));
    server->Kill(); // the old server goes, a new one comes
    server = std::make_unique<TRecorderProcess>(name);
    ASSERT_TRUE(WaitUntil([&] { return core_->AccountServer()->Client().NeedsRecreate(); }));
    Book(400, 4);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(server->Calls(), (QStringList {"CreateObject", Sent(400, 4)}));
    EXPECT_TRUE(listener_.trouble.isEmpty()) << listener_.trouble.join(" / ").toStdString();
}

TEST_F(ForwardingTest, AJournalOfAnEarlierVersionIsImportedOnceAndRenamed)
{
    TRecorderProcess server(UniqueName("KarvelT.Earlier"));
    {
        TAccountJournal journal(programDir_.path());
        ASSERT_TRUE(journal.Append({3, 9, QStringLiteral("Ячмень"), 50.5, 0.5}));
        ASSERT_TRUE(journal.Append({3, 9, QStringLiteral("Ячмень"), 51.5, 1}));
        ASSERT_TRUE(journal.Append({2, 4, QStringLiteral("Овес"), 7, 7}));
        ASSERT_TRUE(journal.PopFront()); // delivered by that version
    }
    Start(server.Name(), false);
    EXPECT_EQ(core_->Book()->Imported(), 2);
    EXPECT_FALSE(QFile::exists(ProgramFile(TAccountJournal::kFileName)));
    EXPECT_FALSE(QFile::exists(ProgramFile(TAccountJournal::kDoneFileName)));
    EXPECT_TRUE(QFile::exists(ProgramFile(TChangeBook::kImportedJournalName)));
    ASSERT_TRUE(Drained());
    const QStringList expected {QStringLiteral("AddCountLine3(ysdd): 9|Ячмень|51.5|1"),
                                QStringLiteral("AddCountLine2(ysdd): 4|Овес|7|7")};
    EXPECT_EQ(server.MethodCalls(), expected);
    core_.reset();
    Start(server.Name(), false); // a second start imports nothing
    EXPECT_EQ(core_->Book()->Imported(), 0);
    WaitUntil([] { return false; }, 300); // time for a wrong second import to show
    EXPECT_EQ(server.MethodCalls(), expected);
}

} // namespace
} // namespace karvel
