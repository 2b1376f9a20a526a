// Karvel_Net's windows on simulated lines: the lines open by themselves, the selected
// terminal shows its values, a booked change reaches the test accounting server, a lost
// link reaches the state window and the work log, and a reload rebuilds the tabs.
#include "answer_message_boxes.h"
#include "hopper_widget.h"
#include "line_window.h"
#include "main_window.h"
#include "password_dlg.h"
#include "report_form.h"
#include "sim_process.h"
#include "state_tab_bar.h"
#include "state_window.h"
#include "wait.h"

#include "cp1251.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::SimProcess;
using test::WaitUntil;

struct Slot {
    int net;
    QString product;
};

// The store as the registry editor would export it, with lines 1 and 2 configured.
QString StoreText(const std::vector<Slot>& line1, const std::vector<Slot>& line2)
{
    QStringList out {"Windows Registry Editor Version 5.00",
                     "",
                     "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Control]",
                     "\"Name\"=\"KarvelC.DataControlServ\"",
                     "\"Password\"=\"\"",
                     ""};
    const std::vector<Slot>* lines[4] = {&line1, &line2, nullptr, nullptr};
    for (int n = 1; n <= 4; ++n) {
        out << QString("[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Line%1]").arg(n);
        out << QString("\"TerminalType\"=dword:%1").arg(n == 2 ? "00000001" : "00000000");
        for (int i = 1; i <= 30; ++i) {
            const bool used = lines[n - 1] && i <= static_cast<int>(lines[n - 1]->size());
            const Slot slot = used ? (*lines[n - 1])[static_cast<size_t>(i - 1)]
                                   : Slot {0, QString("Продукт %1").arg(i)};
            out << QString("\"NetNum%1\"=dword:%2").arg(i).arg(slot.net, 8, 16, QChar('0'));
            out << QString("\"NameP%1\"=\"%2\"").arg(i).arg(slot.product);
        }
        out << "";
    }
    out << "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\PortParam]";
    for (int n = 1; n <= 4; ++n)
        out << QString("\"PortL%1\"=dword:%2").arg(n).arg(n - 1, 8, 10, QChar('0'))
            << QString("\"SpeedL%1\"=dword:00000001").arg(n);
    out << "\"SoundStop\"=dword:00000000"
        << "\"LogWr\"=dword:00000001"
        << "\"SoundMode\"=dword:00000001"
        << "\"SoundFileName\"=\"\""
        << "";
    return out.join("\r\n");
}

class KarvelNetWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QDir().mkpath(home.path() + "/Vistam/dosdevices");
        QDir().mkpath(home.path() + "/prog");
        QFile::remove(MEMO_LOG);
        ASSERT_EQ(QProcess::execute(KARVELC_PATH, {"-RegServer"}), 0);
        WriteStore({{5, "Пшеница"}, {6, "Ячмень"}}, {{1, "Рожь"}, {2, "Кукуруза"}});
        ASSERT_TRUE(
            StartSim(sim1, 1, {"--terminal", "5:KR200:Пшеница", "--terminal", "6:KR200:Ячмень"}));
        ASSERT_TRUE(
            StartSim(sim2, 2, {"--terminal", "1:KR100:Рожь", "--terminal", "2:KR100:Кукуруза"}));
        test::AnswerMessageBoxes(boxCloser, messages, 50);
        TCoreOptions options;
        options.programDir = home.path() + "/prog";
        options.storePath = home.path() + "/Vistam/Karvel_net.reg";
        window = std::make_unique<TForm1>(options);
        window->show();
        window->CreateWindows();
    }
    void TearDown() override { window.reset(); }

    void WriteStore(const std::vector<Slot>& line1, const std::vector<Slot>& line2)
    {
        QFile file(home.path() + "/Vistam/Karvel_net.reg");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(StoreText(line1, line2).toUtf8());
    }
    bool StartSim(SimProcess& sim, int com, QStringList options)
    {
        const QString work = home.path() + QString("/sim%1").arg(com);
        QDir().mkpath(work);
        // A total must stand still for four readings before it is booked: the cycle leaves
        // it standing for about a second after each portion.
        options << "--cycle-ms"
                << "2500";
        return sim.Start(home.path() + QString("/Vistam/dosdevices/com%1").arg(com), work, options);
    }
    static QStringList TabTexts(TFormLine& line)
    {
        QStringList texts;
        for (int i = 0; i < line.Tabs().count(); ++i)
            texts << line.Tabs().tabText(i);
        return texts;
    }
    static QString ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir home;
    SimProcess sim1, sim2;
    QTimer boxCloser;
    QStringList messages;
    std::unique_ptr<TForm1> window;
};

TEST_F(KarvelNetWindows, ConfiguredLinesOpenWithATabPerTerminal)
{
    EXPECT_TRUE(window->Line(1).isVisible());
    EXPECT_TRUE(window->Line(2).isVisible());
    EXPECT_FALSE(window->Line(3).isVisible());
    EXPECT_EQ(TabTexts(window->Line(1)), (QStringList {"Пшеница", "Ячмень"}));
    EXPECT_EQ(TabTexts(window->Line(2)), (QStringList {"Рожь", "Кукуруза"}));
    EXPECT_TRUE(window->Line(1).Kr200MenuVisible());
    EXPECT_FALSE(window->Line(2).Kr200MenuVisible());
    window->LineBtnClick(3);
    EXPECT_EQ(messages, QStringList {"Линия 3 несконфигурирована"});
    EXPECT_EQ(window->windowTitle(), TForm1::kCaption);
}

TEST_F(KarvelNetWindows, TheReportOpensFromItsButtonAfterTheOthersAndFromTheMenu)
{
    QToolButton* report = window->Button("ReportBtn");
    ASSERT_NE(report, nullptr);
    EXPECT_GT(report->x(), window->Button("LogBtn")->x());
    EXPECT_EQ(window->ReportWindow(), nullptr); // made at the first use
    report->click();
    TReportForm* form = window->ReportWindow();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Отчёт");
    ASSERT_TRUE(WaitUntil([&] { return !form->Busy(); }, 10000));
    EXPECT_FALSE(form->StatusText().isEmpty());
    form->hide();
    auto* action = window->findChild<QAction*>("ReportAction");
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_EQ(window->ReportWindow(), form);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(KarvelNetWindows, TheSelectedTerminalShowsItsValues)
{
    TFormLine& line = window->Line(1);
    line.Tabs().setCurrentIndex(1);
    ASSERT_TRUE(WaitUntil([&] { return line.GroupCaption() == "Ячмень"; }, 5000));
    // The counters are read once per cycle of ten requests: empty texts until then.
    ASSERT_TRUE(
        WaitUntil([&] { return line.ValueText(TSlotDisplay::Count_t).contains('.'); }, 5000));
    EXPECT_TRUE(line.ValueText(TSlotDisplay::Count_C).contains('.'));
    EXPECT_TRUE(line.Hopper().Caption().startsWith("   "));
    EXPECT_GT(line.Hopper().Caption().trimmed().toDouble(), -1e9);
}

TEST_F(KarvelNetWindows, ABookedChangeShowsInTheLineAndReachesTheServer)
{
    ASSERT_TRUE(
        WaitUntil([&] { return window->Line(1).StatusText().startsWith("Весы: "); }, 20000));
    const QString status = window->Line(1).StatusText();
    EXPECT_TRUE(status.contains("; № ") && status.contains("; C: ") && status.contains("; d: "))
        << status.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(MEMO_LOG).contains("Линия 1"); }, 10000));
    EXPECT_TRUE(ReadFile(MEMO_LOG).contains(
        QRegularExpression("Продукт: (Пшеница|Ячмень) Сетевой номер:[56];")))
        << ReadFile(MEMO_LOG).toStdString();
}

TEST_F(KarvelNetWindows, TheStopButtonStopsTheSelectedWeigherOnly)
{
    TFormLine& line = window->Line(1);
    line.Tabs().setCurrentIndex(1);
    QPushButton* stop = nullptr;
    for (QPushButton* button : line.findChildren<QPushButton*>())
        if (button->text() == "Стоп")
            stop = button;
    ASSERT_NE(stop, nullptr);
    stop->click();
    auto running = [&](int net) { return sim1.Record()[net].value("running").toBool(); };
    ASSERT_TRUE(WaitUntil([&] { return !running(6); }, 5000));
    EXPECT_TRUE(running(5));
}

TEST_F(KarvelNetWindows, ALostLinkReachesTheStateWindowAndTheLog)
{
    ASSERT_TRUE(WaitUntil([&] { return window->Core().LineList(1)[1]->Connect; }, 5000));
    sim1.Control("silence 6");
    ASSERT_TRUE(WaitUntil(
        [&] {
            return window->StateWindow().Text().contains("Линия 1  Весы 6 - отсутствует связь!");
        },
        15000));
    EXPECT_TRUE(window->StateWindow().isVisible());
    QFile log(home.path() + "/prog/log.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(FromCp1251(log.readAll()).contains(" Линия 1, Весы  6  -  Потеря связи\r\n"));
}

// A change the accounting server refused for good is listed in the state window; it is
// discarded only after the administrator password (empty in this store), and stays in
// the ledger as discarded.
TEST_F(KarvelNetWindows, DiscardingAChangeSetAsideAsksForThePassword)
{
    TLedger other; // a second connection to the program's ledger
    ASSERT_TRUE(other.Open((home.path() + "/prog/" + ledger::kFileName).toStdString(), "test"));
    other.SetSinks({ledger::kSinkDbus});
    TLedgerChange change;
    change.line = 1;
    change.netNum = 5;
    change.product = "Пшеница";
    change.countC = 10;
    change.countD = 1;
    change.bookedAtMs = 1;
    // Both before the window thread runs again, so the program never sends it.
    ASSERT_TRUE(other.Append(change));
    ASSERT_TRUE(other.SetAside(change.seq, ledger::kSinkDbus, "refused"));
    window->LogBtnClick();
    TLogFrm& state = window->StateWindow();
    ASSERT_TRUE(state.SetAsideShown());
    ASSERT_EQ(state.SelectedSetAside(), change.seq);

    QString typed;
    QTimer passwordTyper;
    QObject::connect(&passwordTyper, &QTimer::timeout, [&] {
        if (auto* dlg = qobject_cast<TPasswordDlg*>(QApplication::activeModalWidget())) {
            dlg->PasswordEdit()->setText(typed);
            dlg->accept();
        }
    });
    passwordTyper.start(20);
    const auto discarded = [&] {
        return other.CountInState(ledger::kSinkDbus, ledger::TDeliveryState::Discarded);
    };
    typed = "wrong";
    state.DiscardButton()->click();
    EXPECT_EQ(discarded(), 0);
    EXPECT_TRUE(messages.contains(kWrongPasswordText)) << messages.join(" / ").toStdString();
    EXPECT_TRUE(state.SetAsideShown());
    typed = "";
    state.DiscardButton()->click();
    EXPECT_EQ(discarded(), 1);
    EXPECT_FALSE(state.SetAsideShown());
}

TEST_F(KarvelNetWindows, AReloadRebuildsTheTabs)
{
    WriteStore({{5, "Пшеница"}, {6, "Ячмень"}, {9, "Горох"}}, {});
    window->Reload();
    EXPECT_EQ(TabTexts(window->Line(1)), (QStringList {"Пшеница", "Ячмень", "Горох"}));
    EXPECT_TRUE(window->Line(1).isVisible());
    EXPECT_FALSE(window->Line(2).isVisible()) << "a line left without terminals stays closed";
    EXPECT_FALSE(window->Line(2).Poller().Port().Connected());
    ASSERT_TRUE(WaitUntil([&] { return window->Core().LineList(1)[0]->Connect; }, 5000))
        << "polling again";
}

} // namespace
} // namespace karvel
