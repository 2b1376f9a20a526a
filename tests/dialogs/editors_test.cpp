// The line composition editor and the communication parameters window against the real
// store file in a temporary configuration folder.
#include "config_keys.h"
#include "config_store.h"
#include "form_edit_line.h"
#include "modal.h"
#include "port_parametrs.h"
#include "qstring_print.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::AnswerMessage;
using test::WhenModal;

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    // The line keys as the first start writes them.
    void WriteLineDefaults()
    {
        TConfigStore store(path);
        for (int line = 1; line <= kLines; ++line) {
            store.WriteBool(LineKey(line), "TerminalType", false);
            for (int slot = 1; slot <= kSlots; ++slot) {
                store.WriteInteger(LineKey(line), QString("NetNum%1").arg(slot), 0);
                store.WriteString(LineKey(line), QString("NameP%1").arg(slot),
                                  DefaultProductName(slot));
            }
        }
        store.Flush();
    }
    TConfigStore Store() const { return TConfigStore(path); }

    QTemporaryDir dir;
    QString path = dir.filePath("Vistam/Karvel_net.reg");
};

class EditLine : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        WriteLineDefaults();
    }
    // Runs the dialog as the main window does; `act` is the operator.
    bool RunWith(std::function<void()> act)
    {
        WhenModal([act = std::move(act)](QWidget*) { act(); });
        return editor.Run();
    }
    QString Cell(int row, int column) const
    {
        const QTableWidgetItem* item = editor.Grid()->item(row, column);
        return item ? item->text() : QStringLiteral("<empty>");
    }
    void SetCell(int row, int column, const QString& text)
    {
        editor.Grid()->item(row, column)->setText(text);
    }

    TFormEditLine editor {path};
};

QStringList Headers(const QTableWidget* grid)
{
    QStringList headers;
    for (int c = 0; c < grid->columnCount(); ++c)
        headers << grid->horizontalHeaderItem(c)->text();
    return headers;
}

TEST_F(EditLine, FirstStartShowsTheDefaults)
{
    bool s200 = false;
    QStringList rows;
    EXPECT_FALSE(RunWith([&] {
        s200 = editor.S200()->isChecked();
        for (int row : {0, 29})
            rows << Cell(row, 0) + "|" + Cell(row, 1) + "|" + Cell(row, 2);
        editor.CancelButton()->click();
    }));
    EXPECT_TRUE(s200);
    EXPECT_EQ(rows, QStringList({"1|0|Продукт 1", "30|0|Продукт 30"}));
    EXPECT_EQ(Headers(editor.Grid()), QStringList({"№", "Сет.номер", "Продукт"}));
    EXPECT_EQ(editor.Grid()->columnWidth(1), 83);
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Параметры линии"));
}

TEST_F(EditLine, SaveThenCancelStoresAndAsksForTheReload)
{
    EXPECT_TRUE(RunWith([&] {
        SetCell(3, 1, "17");
        SetCell(3, 2, "Ячмень");
        SetCell(3, 0, "99"); // shown, never stored
        editor.S100()->setChecked(true);
        editor.SaveButton()->click();
        editor.CancelButton()->click();
    }));
    const TConfigStore store = Store();
    EXPECT_EQ(store.ReadInteger(LineKey(1), "NetNum4"), 17);
    EXPECT_EQ(store.ReadString(LineKey(1), "NameP4"), QStringLiteral("Ячмень"));
    EXPECT_TRUE(store.ReadBool(LineKey(1), "TerminalType"));
    // The next opening shows what was stored, slot numbers included.
    QString row4;
    bool s100 = false;
    EXPECT_FALSE(RunWith([&] {
        row4 = Cell(3, 0) + "|" + Cell(3, 1) + "|" + Cell(3, 2);
        s100 = editor.S100()->isChecked();
        editor.close(); // the close box
    }));
    EXPECT_EQ(row4, QStringLiteral("4|17|Ячмень"));
    EXPECT_TRUE(s100);
}

TEST_F(EditLine, CancelWithoutSaveStoresNothing)
{
    EXPECT_FALSE(RunWith([&] {
        SetCell(0, 1, "5");
        editor.CancelButton()->click();
    }));
    EXPECT_EQ(Store().ReadInteger(LineKey(1), "NetNum1"), 0);
}

TEST_F(EditLine, ALineChangeDropsUnsavedEditsAndTheResultFollowsTheLineShown)
{
    QString line2Net1;
    QString line1Net1Again;
    QString line1Net2;
    EXPECT_FALSE(RunWith([&] {
        SetCell(0, 1, "99"); // line 1, not saved
        editor.StepLine(+1); // to line 2: the edit is dropped
        line2Net1 = Cell(0, 1);
        SetCell(1, 1, "8");
        editor.SaveButton()->click(); // line 2 saved
        editor.StepLine(-1); // back to line 1: loaded again, not saved
        line1Net1Again = Cell(0, 1);
        line1Net2 = Cell(1, 1);
        editor.CancelButton()->click();
    }));
    EXPECT_EQ(line2Net1, "0");
    EXPECT_EQ(line1Net1Again, "0");
    EXPECT_EQ(line1Net2, "0");
    const TConfigStore store = Store();
    EXPECT_EQ(store.ReadInteger(LineKey(1), "NetNum1"), 0);
    EXPECT_EQ(store.ReadInteger(LineKey(2), "NetNum2"), 8);
    // The selector keeps its line between openings.
    EXPECT_EQ(editor.Line(), 1);
}

TEST_F(EditLine, TheSelectorStaysWithinOneToFour)
{
    editor.ShowData();
    editor.StepLine(-1);
    EXPECT_EQ(editor.Edit1()->text(), "1");
    for (int i = 0; i < 6; ++i)
        editor.StepLine(+1);
    EXPECT_EQ(editor.Edit1()->text(), "4");
    EXPECT_TRUE(editor.Edit1()->isReadOnly());
}

TEST_F(EditLine, ANetworkNumberThatIsNoIntegerStopsTheSaveAtItsRow)
{
    QString message;
    EXPECT_TRUE(RunWith([&] {
        SetCell(0, 1, "3");
        SetCell(1, 1, "256");
        SetCell(2, 1, "abc");
        SetCell(3, 1, "4");
        editor.S100()->setChecked(true);
        AnswerMessage(&message, &editor);
        editor.SaveButton()->click();
        editor.CancelButton()->click();
    }));
    EXPECT_EQ(message, QStringLiteral("\"abc\" - недопустимое целое значение"));
    const TConfigStore store = Store();
    EXPECT_TRUE(store.ReadBool(LineKey(1), "TerminalType"));
    EXPECT_EQ(store.ReadInteger(LineKey(1), "NetNum1"), 3);
    EXPECT_EQ(store.ReadInteger(LineKey(1), "NetNum2"), 256); // no range test
    EXPECT_EQ(store.ReadInteger(LineKey(1), "NetNum3"), 0);
    EXPECT_EQ(store.ReadInteger(LineKey(1), "NetNum4"), 0);
}

// Line 2 of the store as a hand edit may leave it; lines 1 and 3 are sound, and line 1
// differs from the defaults everywhere, so anything of it written into line 2 shows.
enum class Broken { NetNumMissing, NetNumIsText, KeyMissing };

class EditLineAfterAFailedLoad : public StoreFixture, public ::testing::WithParamInterface<Broken> {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        TConfigStore store(path);
        for (int line = 1; line <= kLines; ++line) {
            if (line == 2 && GetParam() == Broken::KeyMissing)
                continue;
            store.WriteBool(LineKey(line), "TerminalType", line == 1);
            for (int slot = 1; slot <= kSlots; ++slot) {
                const QString netNum = QString("NetNum%1").arg(slot);
                const QString name = QString("NameP%1").arg(slot);
                if (line == 2 && slot == 7 && GetParam() == Broken::NetNumIsText)
                    store.WriteString(LineKey(line), netNum, "7");
                else if (!(line == 2 && slot == 7 && GetParam() == Broken::NetNumMissing))
                    store.WriteInteger(LineKey(line), netNum, line == 1 ? 10 + slot : 0);
                store.WriteString(LineKey(line), name,
                                  line == 1 ? QString("Линия 1, %1").arg(slot)
                                            : DefaultProductName(slot));
            }
        }
        store.Flush();
    }

    TFormEditLine editor {path};
};

TEST_P(EditLineAfterAFailedLoad, OffersNoOtherLinesDataForSaving)
{
    QString message;
    bool line1SaveOn = false;
    bool line2SaveOn = true;
    bool line3SaveOn = false;
    QPointer<QTimer> messageWait;
    WhenModal([&](QWidget*) {
        line1SaveOn = editor.SaveButton()->isEnabled();
        messageWait = AnswerMessage(&message, &editor);
        editor.StepLine(+1); // line 2 does not load
        line2SaveOn = editor.SaveButton()->isEnabled();
        editor.BitBtn1Click(); // not even a direct call writes the grid
        editor.StepLine(+1); // line 3 loads again
        line3SaveOn = editor.SaveButton()->isEnabled();
        editor.CancelButton()->click();
    });
    EXPECT_FALSE(editor.Run()); // nothing was saved: no reload
    delete messageWait.data();

    EXPECT_TRUE(line1SaveOn);
    EXPECT_FALSE(line2SaveOn);
    EXPECT_TRUE(line3SaveOn);
    if (GetParam() == Broken::KeyMissing) {
        EXPECT_TRUE(message.isEmpty()) << message.toStdString();
        EXPECT_FALSE(Store().KeyExists(LineKey(2)));
        return;
    }
    EXPECT_TRUE(message.contains("NetNum7")) << message.toStdString();
    const TConfigStore store = Store();
    EXPECT_FALSE(store.ReadBool(LineKey(2), "TerminalType"));
    EXPECT_EQ(store.ReadInteger(LineKey(2), "NetNum1"), 0);
    EXPECT_EQ(store.ReadString(LineKey(2), "NameP1"), QStringLiteral("Продукт 1"));
}

INSTANTIATE_TEST_SUITE_P(Stores, EditLineAfterAFailedLoad,
                         ::testing::Values(Broken::NetNumMissing, Broken::NetNumIsText,
                                           Broken::KeyMissing));

class PortParams : public StoreFixture {
protected:
    bool RunWith(std::function<void()> act)
    {
        WhenModal([act = std::move(act)](QWidget*) { act(); });
        return window.Run();
    }
    TPortParametrs window {path};
};

TEST_F(PortParams, FirstSaveWritesNoneChosenForEveryLine)
{
    bool nothingChosen = true;
    bool allEnabled = true;
    EXPECT_TRUE(RunWith([&] {
        for (int line = 1; line <= 4; ++line)
            nothingChosen = nothingChosen && window.PortL(line)->currentIndex() == -1 &&
                window.SpeedL(line)->currentIndex() == -1;
        nothingChosen = nothingChosen && !window.RadioButton1()->isChecked() &&
            !window.RadioButton2()->isChecked() && !window.CheckBox1()->isChecked();
        allEnabled = window.RadioButton1()->isEnabled() && window.Edit1()->isEnabled();
        window.SaveButton()->click();
    }));
    EXPECT_TRUE(nothingChosen);
    EXPECT_TRUE(allEnabled);
    const TConfigStore store = Store();
    for (int line = 1; line <= 4; ++line) {
        EXPECT_EQ(store.ReadInteger(kPortParamKey, QString("PortL%1").arg(line)), -1);
        EXPECT_EQ(store.ReadInteger(kPortParamKey, QString("SpeedL%1").arg(line)), -1);
    }
    EXPECT_FALSE(store.ReadBool(kPortParamKey, "SoundStop"));
    EXPECT_FALSE(store.ReadBool(kPortParamKey, "LogWr"));
    EXPECT_FALSE(store.ReadBool(kPortParamKey, "SoundMode"));
    EXPECT_EQ(store.ReadString(kPortParamKey, "SoundFileName"), QString());
}

TEST_F(PortParams, ChosenEntriesAreStoredAsPositionsAndReadBack)
{
    EXPECT_TRUE(RunWith([&] {
        EXPECT_EQ(window.PortL(2)->itemText(2), "COM3");
        EXPECT_EQ(window.PortL(2)->count(), 9);
        window.PortL(2)->setCurrentIndex(2);
        window.SpeedL(2)->setCurrentIndex(1);
        window.CheckBox1()->setChecked(true);
        window.RadioButton2()->setChecked(true);
        window.ChooseSoundFile = [](QWidget*) { return QStringLiteral("/home/op/Сигнал.wav"); };
        window.Button1()->click();
        window.SaveButton()->click();
    }));
    const TConfigStore store = Store();
    EXPECT_EQ(store.ReadInteger(kPortParamKey, "PortL2"), 2);
    EXPECT_EQ(store.ReadInteger(kPortParamKey, "SpeedL2"), 1);
    EXPECT_EQ(store.ReadInteger(kPortParamKey, "PortL1"), -1);
    EXPECT_TRUE(store.ReadBool(kPortParamKey, "SoundStop"));
    EXPECT_FALSE(store.ReadBool(kPortParamKey, "SoundMode"));
    EXPECT_EQ(store.ReadString(kPortParamKey, "SoundFileName"),
              QStringLiteral("/home/op/Сигнал.wav"));

    // A new window (as at the next start) reads it all back.
    TPortParametrs again(path);
    ASSERT_TRUE(again.ShowData());
    EXPECT_EQ(again.PortL(2)->currentText(), "COM3");
    EXPECT_EQ(again.SpeedL(2)->currentText(), QStringLiteral("19200 бод"));
    EXPECT_TRUE(again.RadioButton2()->isChecked());
    EXPECT_EQ(again.Edit1()->text(), QStringLiteral("/home/op/Сигнал.wav"));
}

TEST_F(PortParams, TheAlarmBoxEnablesTheSoundChoiceAndTheLogBoxRunsTheSameRule)
{
    {
        TConfigStore store(path);
        WritePortParam(store, TPortParamValues {});
    }
    ASSERT_TRUE(window.ShowData());
    EXPECT_FALSE(window.RadioButton1()->isEnabled());
    EXPECT_FALSE(window.RadioButton2()->isEnabled());
    EXPECT_FALSE(window.Edit1()->isEnabled());
    EXPECT_TRUE(window.Button1()->isEnabled());
    EXPECT_TRUE(window.RadioButton2()->isChecked());
    QTest::mouseClick(window.CheckBox2(), Qt::LeftButton); // the log box changes nothing here
    EXPECT_FALSE(window.Edit1()->isEnabled());
    QTest::mouseClick(window.CheckBox1(), Qt::LeftButton);
    EXPECT_TRUE(window.RadioButton1()->isEnabled());
    EXPECT_TRUE(window.Edit1()->isEnabled());
    QTest::mouseClick(window.CheckBox1(), Qt::LeftButton);
    EXPECT_FALSE(window.Edit1()->isEnabled());
    EXPECT_TRUE(window.Button1()->isEnabled());
}

TEST_F(PortParams, CancelStoresNothingAndACancelledFileChoiceKeepsTheField)
{
    EXPECT_FALSE(RunWith([&] {
        window.PortL(1)->setCurrentIndex(4);
        window.Edit1()->setText("keep");
        window.ChooseSoundFile = [](QWidget*) { return QString(); };
        window.Button1()->click();
        EXPECT_EQ(window.Edit1()->text(), "keep");
        window.CancelButton()->click();
    }));
    EXPECT_FALSE(Store().KeyExists(kPortParamKey));
    EXPECT_EQ(window.PortL(1)->currentIndex(), 4); // kept until the next opening reloads
}

TEST_F(PortParams, AKeyLackingAValueIsReportedAndTheWindowNotShown)
{
    {
        TConfigStore store(path);
        store.WriteInteger(kPortParamKey, "PortL1", 0);
        store.Flush();
    }
    QString message;
    AnswerMessage(&message);
    EXPECT_FALSE(window.Run());
    EXPECT_TRUE(message.contains("PortL2")) << message.toStdString();
}

} // namespace
} // namespace karvel
