#include "main_window.h"

#include "about_box.h"
#include "alarm_sound.h"
#include "app_icons.h"
#include "doz_struct_par.h"
#include "form_edit_line.h"
#include "ledger_schema.h"
#include "line_window.h"
#include "password_dlg.h"
#include "port_parametrs.h"
#include "report_form.h"
#include "show_message.h"
#include "sound_alarm.h"
#include "state_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace karvel {

TForm1::TForm1(TCoreOptions options)
    : options_(std::move(options)), lineSettings_(options_.storePath)
{
    setWindowTitle(kCaption);
    setObjectName(QStringLiteral("TForm1"));
    BuildToolbar();
    alarmStatus_ = new QLabel(this);
    statusBar()->addWidget(alarmStatus_, 1);
    accountingStatus_ = new QLabel(this);
    statusBar()->addWidget(accountingStatus_, 1);
    statusBar()->setSizeGripEnabled(false);
    // Shown only while there is something to say: booked changes waiting for the
    // accounting server, or an alarm sound that failed.
    UpdateStatusBar();
    setCentralWidget(new QWidget(this));
    centralWidget()->setFixedHeight(0);
    layout()->setSizeConstraint(QLayout::SetFixedSize); // the window is its toolbar
    move(0, 0);
}

TForm1::~TForm1()
{
    // The other windows go first, in the reverse order of their creation: each line
    // window stops its port before the slot objects it polls are destroyed.
    report_.reset();
    logFrm_.reset();
    dozWindow_.reset();
    lines_[3].reset();
    lines_[2].reset();
    lines_[1].reset();
    portParams_.reset();
    editLine_.reset();
    lines_[0].reset();
    about_.reset();
    if (core_)
        core_->FormDestroy();
}

void TForm1::BuildToolbar()
{
    auto* toolbar = addToolBar(QStringLiteral("Karvel"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    for (TToolbarButton id : kToolbarOrder) {
        auto* button = new QToolButton(toolbar);
        button->setObjectName(ToolbarButtonName(id));
        button->setFixedSize(ToolbarButtonSize(id));
        button->setIconSize(QSize(32, 32));
        if (id == TToolbarButton::LogBtn)
            button->setText(QStringLiteral("Log"));
        else
            button->setIcon(ToolbarIcon(id));
        QAction* action = toolbar->addWidget(button);
        switch (id) {
        case TToolbarButton::L1Btn:
        case TToolbarButton::L2Btn:
        case TToolbarButton::L3Btn:
        case TToolbarButton::L4Btn: {
            const int line = 1 + static_cast<int>(id) - static_cast<int>(TToolbarButton::L1Btn);
            button->setToolTip(QStringLiteral("Линия %1").arg(line));
            connect(button, &QToolButton::clicked, this, [this, line] { LineBtnClick(line); });
            break;
        }
        case TToolbarButton::EditLineBtn:
            button->setToolTip(QStringLiteral("Состав линий"));
            connect(button, &QToolButton::clicked, this, &TForm1::EditLineBtnClick);
            break;
        case TToolbarButton::ComPortEdBtn:
            button->setToolTip(QStringLiteral("Параметры связи"));
            connect(button, &QToolButton::clicked, this, &TForm1::ComPortEdBtnClick);
            break;
        case TToolbarButton::BitBtn1:
            button->setToolTip(QStringLiteral("О программе"));
            connect(button, &QToolButton::clicked, this, &TForm1::BitBtn1Click);
            break;
        case TToolbarButton::NoSoundBtn:
            button->setToolTip(QStringLiteral("Выключить звук"));
            connect(button, &QToolButton::clicked, this, &TForm1::NoSoundBtnClick);
            noSoundAction_ = action; // in its place from the start, so "Log" never moves
            break;
        case TToolbarButton::LogBtn:
            button->setToolTip(QStringLiteral("Состояние системы"));
            connect(button, &QToolButton::clicked, this, &TForm1::LogBtnClick);
            break;
        case TToolbarButton::ReportBtn:
            button->setToolTip(TReportForm::kCaption);
            connect(button, &QToolButton::clicked, this, &TForm1::ReportBtnClick);
            break;
        }
    }
    QMenu* reports = menuBar()->addMenu(QStringLiteral("&Учёт"));
    QAction* report = reports->addAction(ToolbarIcon(TToolbarButton::ReportBtn),
                                         TReportForm::kCaption + QStringLiteral("..."));
    report->setObjectName(QStringLiteral("ReportAction"));
    connect(report, &QAction::triggered, this, &TForm1::ReportBtnClick);
}

QToolButton* TForm1::Button(const QString& name) const
{
    return findChild<QToolButton*>(name);
}

void TForm1::CreateWindows()
{
    sound_ = std::make_unique<TAlarmSound>();
    connect(sound_.get(), &TAlarmSound::PlayFailed, this, &TForm1::AlarmSoundFailed);
    core_ = std::make_unique<TMainCore>(options_, this);
    core_->OpenSoundFile = [this](const QString& file) { return sound_->Open(file); };
    core_->DozStructParShow = [this](uint8_t pos, uint8_t eNum, const TDosageStructure& s) {
        if (dozWindow_)
            dozWindow_->Show(pos, eNum, s);
    };
    core_->StartUp();

    about_ = std::make_unique<TAboutBox>(this);
    CreateLine(1);
    editLine_ = std::make_unique<TFormEditLine>(options_.storePath, this);
    portParams_ = std::make_unique<TPortParametrs>(options_.storePath, this);
    portParams_->MqttStatus = [this] {
        return core_->Mqtt() ? core_->Mqtt()->StatusText() : QStringLiteral("MQTT: выключено");
    };
    portParams_->MqttSaved = [this] { core_->StartMqtt(); };
    CreateLine(2);
    CreateLine(3);
    CreateLine(4);
    dozWindow_ = std::make_unique<TDozStructPar>(
        [this](int line) -> const TLineList* {
            return (line >= 1 && line <= 4) ? &core_->LineList(line) : nullptr;
        },
        this);
    logFrm_ = std::make_unique<TLogFrm>();
    logFrm_->OnSendAgain = [this](int64_t seq) { SendAgainClick(seq); };
    logFrm_->OnDiscard = [this](int64_t seq) { DiscardClick(seq); };
    logFrm_->ShowSetAside(core_->SetAsideList()); // left by an earlier run
}

void TForm1::CreateLine(int line)
{
    auto window = std::make_unique<TFormLine>(line, core_->LineList(line), lineSettings_);
    window->AskProductPass = [this](QWidget* parent) {
        return karvel::AskProductPass(parent, core_->AdminPassword());
    };
    window->ParamRequested = [this](int l, uint16_t externNum, bool kr200) {
        dozWindow_->ParamRequested(l, externNum, kr200);
    };
    window->OnAlarm = [this] { SoundAlarm(); };
    lines_[static_cast<size_t>(line - 1)] = std::move(window);
    lines_[static_cast<size_t>(line - 1)]->FormCreate();
}

// A weigher stopped and the alarm delay passed: beep, or start the looping sound file.
void TForm1::SoundAlarm()
{
    const TAlarmOptions options {core_->SoundStop(), core_->SoundMode()};
    const auto error = SoundStopAlarm(options, cs_, *sound_, [this] {
        noSoundAction_->setVisible(true);
        SetAlarmStatus(QString()); // the sound plays again
    });
    if (error)
        karvel::ShowMessage(this, *error);
}

// The audio output failed in the middle of an alarm. The operator must still hear the
// alarm and see why the sound stopped: this alarm falls back to the beeper, the status
// line says what happened and the work log keeps it. The next alarm tries the sound
// file again.
void TForm1::AlarmSoundFailed(const QString& error)
{
    sound_->Beep();
    if (core_)
        core_->AlarmSoundFailed(error);
    SetAlarmStatus(
        QStringLiteral("Сбой звука тревоги: %1. Тревога подана звуковым сигналом.").arg(error));
}

void TForm1::SetAlarmStatus(const QString& text)
{
    alarmStatus_->setText(text);
    UpdateStatusBar();
}

void TForm1::UpdateStatusBar()
{
    const bool alarm = !alarmStatus_->text().isEmpty();
    const bool accounting = !accountingStatus_->text().isEmpty();
    alarmStatus_->setVisible(alarm);
    accountingStatus_->setVisible(accounting);
    statusBar()->setVisible(alarm || accounting);
}

void TForm1::LineBtnClick(int line)
{
    if (core_->LineList(line).empty()) {
        karvel::ShowMessage(this, QStringLiteral("Линия %1 несконфигурирована").arg(line));
        return;
    }
    TFormLine& window = Line(line);
    window.show();
    window.raise();
    window.activateWindow();
}

void TForm1::EditLineBtnClick()
{
    if (editLine_->Run())
        Reload();
}

void TForm1::ComPortEdBtnClick()
{
    if (portParams_->Run())
        Reload();
}

void TForm1::BitBtn1Click()
{
    about_->exec();
}

void TForm1::NoSoundBtnClick()
{
    SetAlarmStatus(QString()); // the operator has seen it
    if (const auto error = sound_->Stop())
        karvel::ShowMessage(this, *error);
}

void TForm1::LogBtnClick()
{
    logFrm_->ShowData(core_->StateLists());
    logFrm_->ShowSetAside(core_->SetAsideList());
    logFrm_->show();
    logFrm_->raise();
}

void TForm1::ReportBtnClick()
{
    if (!report_) {
        TReportFormOptions options;
        options.ledgerPath =
            QDir(options_.programDir).filePath(QString::fromLatin1(ledger::kFileName));
        options.storePath = options_.storePath;
        options.clock = options_.clock;
        report_ = std::make_unique<TReportForm>(std::move(options));
    }
    report_->ShowReport();
}

void TForm1::Reload()
{
    for (auto& line : lines_) {
        line->ClearTabs();
        line->hide();
    }
    for (auto& line : lines_)
        line->Stoping();
    dozWindow_->ForgetRequests();
    if (!core_->Reload())
        return; // the load failed: its message was shown, the lines stay stopped
    for (auto& line : lines_)
        line->Init();
}

void TForm1::StatusText(int line, const QString& text)
{
    if (line >= 1 && line <= 4 && lines_[static_cast<size_t>(line - 1)])
        Line(line).SetStatusText(text);
}

void TForm1::ShowState(const QStringList& lines)
{
    if (logFrm_)
        logFrm_->ShowState(lines);
}

void TForm1::ShowMessage(const QString& text)
{
    karvel::ShowMessage(this, text);
}

void TForm1::AccountingTrouble(const QString& text)
{
    accountingStatus_->setText(text);
    UpdateStatusBar();
}

void TForm1::SetAsideChanged()
{
    if (logFrm_)
        logFrm_->ShowSetAside(core_->SetAsideList());
}

void TForm1::SendAgainClick(int64_t seq)
{
    core_->SendAgain(seq);
}

void TForm1::DiscardClick(int64_t seq)
{
    // Given up for good, so only by the administrator; the change stays in the ledger.
    if (karvel::AskProductPass(logFrm_.get(), core_->AdminPassword()))
        core_->Discard(seq);
}

QString TForm1::AccountingStatus() const
{
    return accountingStatus_->text();
}

QString TForm1::AlarmStatus() const
{
    return alarmStatus_->text();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    event->accept();
    QApplication::quit(); // closing the main window ends the program
}

} // namespace karvel
