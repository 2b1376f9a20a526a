#pragma once
// Start-up, configuration loading, shutdown and the handlers every slot object calls,
// without any window: the windows call these and show what comes back.

#include "account_sink.h"
#include "change_book.h"
#include "core_options.h"
#include "main_listener.h"
#include "mqtt_station.h"
#include "state_lists.h"
#include "work_log.h"

#include "karvel_main.h"
#include "line_list.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace karvel {

class TConfigStore;

class TMainCore : public QObject {
    Q_OBJECT
public:
    static inline const QString kNotConfigured =
        QStringLiteral("Программа несконфигурирована! Учет продукта невозможен!");

    explicit TMainCore(TCoreOptions options, TMainListener* listener = nullptr,
                       QObject* parent = nullptr);
    ~TMainCore() override;

    // Main window creation. Returns the texts of the message boxes to show, in order;
    // a failing step ends it (its text is the last one) and the remaining steps are
    // skipped.
    QStringList FormCreate();
    // Creates missing line keys, builds the four lists, reads the options. The error
    // text of the step that ended the load, if one did.
    std::optional<QString> LoadConfig();
    // Waits for the stopped ports to settle, then destroys every slot object.
    void FreeTerminals();
    // Program end: slot objects, accounting object, stop line of the log.
    void FormDestroy();

    // FormCreate with its texts shown through the listener's message boxes.
    void StartUp();
    // The core's part of a reload after an editor closed with OK: FreeTerminals, then
    // LoadConfig. False (after the message box) when the load failed: the caller then
    // skips the steps that follow, such as re-initialising the line windows.
    bool Reload();

    // Handlers bound to the slot objects of line N (the line number is bound with them, so
    // one handler serves the four lines).
    void AddCountLine(int line, const std::string& product, uint8_t netNum, double countD,
                      double countC, const std::string& countDText, const std::string& countCText);
    void ConnectFalse(int line, uint8_t netNum);
    void ConnectTrue(int line, uint8_t netNum);

    // The alarm sound failed while it played: one line in the work log, when it is open.
    void AlarmSoundFailed(const QString& error);

    // The status text of a counter change.
    static QString CountStatusText(const QString& product, uint8_t netNum,
                                   const QString& countCText, const QString& countDText);

    const TLineList& LineList(int line) const { return lists_.at(line - 1); }
    const TLineList& LineList1() const { return lists_[0]; }
    const TLineList& LineList2() const { return lists_[1]; }
    const TLineList& LineList3() const { return lists_[2]; }
    const TLineList& LineList4() const { return lists_[3]; }
    // Empty (null) when there is no accounting object.
    TDbusSink* AccountServer() const { return accountServer_.get(); }
    // The ledger of booked changes; empty before FormCreate.
    TChangeBook* Book() const { return book_.get(); }
    const QString& StationId() const { return stationId_; }

    // The changes the accounting server refused for good, and the operator's answers.
    std::vector<TLedgerDelivery> SetAsideList() const;
    bool SendAgain(int64_t seq);
    // Kept in the ledger as discarded; the caller has checked the administrator password.
    bool Discard(int64_t seq);
    const QString& AdminPassword() const { return adminPassword_; }
    bool LogFlg() const { return log_.IsOpen(); }
    bool SoundStop() const { return soundStop_; }
    bool SoundMode() const { return soundMode_; }
    const QString& SoundFileName() const { return soundFileName_; }
    TStateLists& StateLists() { return stateLists_; }
    const TCoreOptions& Options() const { return options_; }

    // The MQTT side, null when it is off. (Re)starts it from the store's settings: called
    // at start-up and after its settings window saved.
    TMqttStation* Mqtt() const { return mqtt_.get(); }
    void StartMqtt();

    // Set by the window layer: the dosing parameters window's Show, looked up at the
    // moment of the call, so it may be set after the lists are built.
    std::function<void(uint8_t pos, uint8_t eNum, const TDosageStructure&)> DozStructParShow;
    // Set by the sound layer: gives the player the alarm file and opens it; an error text
    // when that fails.
    std::function<std::optional<QString>(const QString& file)> OpenSoundFile;

private:
    void ReadControl(TConfigStore& store, QString& progId);
    void OpenBook(bool withAccounting);
    bool MqttEnabled() const;
    void CreateAccountServer(const QString& progId);
    void AccountingSetAside(const TLedgerChange& change, const QString& error);
    void SetAsideAnswered();
    void CallConnect();
    void WriteLineDefaults(TConfigStore& store);
    void LoadLine(TConfigStore& store, int line);
    std::unique_ptr<TMain_Karvel> MakeSlot(int line, uint8_t netNum, const QString& product,
                                           bool sTypeMeh);
    void ReadOptions(TConfigStore& store);
    void OpenLog();
    void Log(const QString& line);
    QString Now() const;

    TCoreOptions options_;
    TMainListener* listener_;
    std::array<TLineList, 4> lists_;
    std::unique_ptr<TChangeBook> book_;
    std::unique_ptr<TDbusSink> accountServer_;
    QString stationId_;
    QTimer memoryRetry_; // writes the changes kept in memory once the disk takes them
    void RetryMemory();
    bool setAsideShown_ = false; // the status line tells of a change set aside
    bool memoryTroubleShown_ = false; // the operator was told of changes kept in memory
    QString adminPassword_;
    TWorkLog log_;
    bool soundStop_ = false;
    bool soundMode_ = false;
    QString soundFileName_;
    TStateLists stateLists_;
    bool accountingTroubleShown_ = false; // the listener shows kept changes
    bool destroyed_ = false;
    std::unique_ptr<TMqttStation> mqtt_; // declared last: stopped first
};

} // namespace karvel
