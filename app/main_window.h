#pragma once
// The main window: a toolbar to the four line windows, the two settings editors, the
// state window, the About window and the alarm silencer. It creates every other window,
// in a fixed order, and binds them to the start-up core it owns.

#include "main_core.h"
#include "main_listener.h"
#include "store_line_settings.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <mutex>

class QLabel;
class QToolButton;

namespace karvel {

class TAboutBox;
class TAlarmSound;
class TDozStructPar;
class TFormEditLine;
class TFormLine;
class TLogFrm;
class TPortParametrs;
class TReportForm;

class TForm1 : public QMainWindow, public TMainListener {
    Q_OBJECT
public:
    static inline const QString kCaption =
        QStringLiteral("Программа учета для весов \"KARVEL\" (Сетевая версия)");

    explicit TForm1(TCoreOptions options);
    ~TForm1() override;

    // Start-up core first, then every other window in the program's order.
    void CreateWindows();

    TMainCore& Core() { return *core_; }
    TFormLine& Line(int line) { return *lines_.at(static_cast<size_t>(line - 1)); }
    TLogFrm& StateWindow() { return *logFrm_; }
    TDozStructPar& DosingWindow() { return *dozWindow_; }
    TAlarmSound& Sound() { return *sound_; }
    QToolButton* Button(const QString& name) const;
    QString AccountingStatus() const;
    // Why the alarm sound stopped on its own; empty while there is nothing to say.
    QString AlarmStatus() const;

    // The toolbar's actions.
    void LineBtnClick(int line);
    void EditLineBtnClick();
    void ComPortEdBtnClick();
    void BitBtn1Click();
    void NoSoundBtnClick();
    void LogBtnClick();
    // The report window, made at its first use.
    void ReportBtnClick();
    TReportForm* ReportWindow() const { return report_.get(); }
    // Stops the lines, rebuilds the slot objects from the store and starts the lines again.
    void Reload();

    // TMainListener
    void StatusText(int line, const QString& text) override;
    void ShowState(const QStringList& lines) override;
    void ShowMessage(const QString& text) override;
    void AccountingTrouble(const QString& text) override;
    void SetAsideChanged() override;
    // The state window's two answers to a change set aside; discarding asks for the
    // administrator password first.
    void SendAgainClick(int64_t seq);
    void DiscardClick(int64_t seq);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildToolbar();
    void CreateLine(int line);
    void SoundAlarm();
    void AlarmSoundFailed(const QString& error);
    void SetAlarmStatus(const QString& text);
    void UpdateStatusBar();

    TCoreOptions options_;
    TStoreLineSettings lineSettings_;
    std::mutex cs_; // taken around starting the alarm sound
    std::unique_ptr<TAlarmSound> sound_;
    std::unique_ptr<TMainCore> core_;
    // The windows, in the order they are created; destroyed in reverse.
    std::unique_ptr<TAboutBox> about_;
    std::array<std::unique_ptr<TFormLine>, 4> lines_;
    std::unique_ptr<TFormEditLine> editLine_;
    std::unique_ptr<TPortParametrs> portParams_;
    std::unique_ptr<TDozStructPar> dozWindow_;
    std::unique_ptr<TLogFrm> logFrm_;
    std::unique_ptr<TReportForm> report_;
    QLabel* accountingStatus_ = nullptr;
    QLabel* alarmStatus_ = nullptr;
    QAction* noSoundAction_ = nullptr;
};

} // namespace karvel
