#include "main_core.h"

#include "account_error.h"
#include "config_keys.h"
#include "config_store.h"
#include "control_settings.h"
#include "cp1251.h"
#include "crypt_psw.h"
#include "date_time_text.h"
#include "mqtt_settings.h"
#include "step_error.h"
#include "work_log_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <thread>

namespace karvel {

namespace {

const QString kBdlFile = QStringLiteral("bdl.txt");
const QString kLogFile = QStringLiteral("log.txt");

// The file is in the 8-bit code page, unless it says otherwise with a byte-order mark (an
// editor saving "as Unicode"): such a file is read in the encoding it names.
QString DecodeConnectionFile(const QByteArray& bytes)
{
    if (const auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding);
        QString text = decoder.decode(bytes);
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    return FromCp1251(bytes);
}

QString FirstLine(const QString& text)
{
    const qsizetype cut = text.indexOf(QRegularExpression(QStringLiteral("[\\r\\n]")));
    return cut >= 0 ? text.left(cut) : text;
}

// The first line of "bdl.txt", without its line break.
QString ReadConnectionLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TStepError(
            QStringLiteral("Не удается открыть файл \"%1\": %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TStepError(
            QStringLiteral("Ошибка чтения файла \"%1\": %2").arg(path, file.errorString()));
    return FirstLine(DecodeConnectionFile(bytes));
}

} // namespace

TMainCore::TMainCore(TCoreOptions options, TMainListener* listener, QObject* parent)
    : QObject(parent), options_(std::move(options)), listener_(listener)
{
    if (options_.storePath.isEmpty())
        options_.storePath = TConfigStore::DefaultPath();
    memoryRetry_.setInterval(std::max(options_.retryPeriodMs, 100));
    connect(&memoryRetry_, &QTimer::timeout, this, &TMainCore::RetryMemory);
}

void TMainCore::RetryMemory()
{
    if (!book_ || !book_->FlushMemory())
        return;
    memoryRetry_.stop();
    if (memoryTroubleShown_) {
        memoryTroubleShown_ = false;
        if (listener_ && !accountingTroubleShown_ && !setAsideShown_)
            listener_->AccountingTrouble(QString());
    }
}

TMainCore::~TMainCore()
{
    if (!destroyed_)
        FormDestroy();
}

QString TMainCore::Now() const
{
    return DateTimeText(options_.clock(), options_.locale);
}

void TMainCore::Log(const QString& line)
{
    // A line that does not reach the disk is not reported: the log is an aid, polling
    // and accounting go on.
    log_.WriteLine(line);
}

QStringList TMainCore::FormCreate()
{
    QStringList messages;
    try {
        QString progId;
        {
            TConfigStore store(options_.storePath);
            if (!store.KeyExists(kControlKey))
                WriteControlDefaults(store);
            if (store.KeyExists(kControlKey))
                ReadControl(store, progId);
        }
        OpenBook(!progId.isEmpty());
        if (!progId.isEmpty())
            CreateAccountServer(progId);
        else
            messages.append(kNotConfigured);
        CallConnect();
        if (const auto error = LoadConfig())
            messages.append(*error);
        StartMqtt();
    } catch (const TStepError& error) {
        messages.append(error.text());
    }
    return messages;
}

void TMainCore::ReadControl(TConfigStore& store, QString& progId)
{
    TControlSettings control = LoadControl(store);
    progId = control.progId;
    adminPassword_ = control.adminPassword;
    stationId_ = control.stationId;
}

void TMainCore::OpenBook(bool withAccounting)
{
    std::vector<std::string> sinks;
    if (withAccounting)
        sinks.emplace_back(ledger::kSinkDbus);
    if (MqttEnabled())
        sinks.emplace_back(ledger::kSinkMqtt);
    book_ = std::make_unique<TChangeBook>(options_.programDir, stationId_, std::move(sinks));
    // Each sink reads its own waiting rows; a write wakes them.
    book_->OnWritten = [this] {
        if (accountServer_)
            accountServer_->Wake();
        if (mqtt_)
            mqtt_->ChangeAppended();
    };
    // A ledger that cannot be opened now is tried again with every change; the changes
    // wait in memory meanwhile and the operator is told with the first of them.
    book_->Open();
}

void TMainCore::CreateAccountServer(const QString& progId)
{
    if (const auto invalid = TAccountClient::CheckIdentifier(progId))
        throw TStepError(*invalid);
    // Nothing is asked of the bus here: the object is made with the first change (or
    // the Connect call), without waiting, so a server that is missing or hangs never
    // holds up the start or the polling.
    auto client = std::make_unique<TAccountClient>(progId, options_.callTimeoutMs);
    accountServer_ = std::make_unique<TDbusSink>(std::move(client), *book_, options_.retryPeriodMs);
    accountServer_->OnOutage = [this](const TLedgerChange& change, const QString& error) {
        if (log_.IsOpen())
            Log(LogAccountingFailedLine(Now(), change.line, static_cast<uint8_t>(change.netNum),
                                        error));
        if (listener_)
            listener_->AccountingTrouble(error);
        accountingTroubleShown_ = true;
    };
    accountServer_->OnRecovered = [this] {
        // Everything kept went out; a change set aside stays on view until the
        // operator has answered it in the system state window.
        if (listener_ && accountingTroubleShown_ && book_->InMemory() == 0 && !setAsideShown_)
            listener_->AccountingTrouble(QString());
        accountingTroubleShown_ = false;
    };
    accountServer_->OnSetAside = [this](const TLedgerChange& change, const QString& error) {
        AccountingSetAside(change, error);
    };
    accountServer_->OnStartFailed = [this](const QString& error) {
        if (listener_)
            listener_->ShowMessage(error);
    };
    accountServer_->OnConnectFailed = [this](const QString& error) {
        if (listener_)
            listener_->ShowMessage(error);
    };
    accountServer_->OnLedgerTrouble = [this](const QString& error) {
        if (listener_)
            listener_->AccountingTrouble(QStringLiteral("Журнал учета не записан на диск: ") +
                                         error);
        accountingTroubleShown_ = true;
    };
    // The object is made now, without waiting; changes an earlier run could not deliver
    // go out once it is there.
    accountServer_->Start();
}

void TMainCore::AccountingSetAside(const TLedgerChange& change, const QString& error)
{
    const QString id = QString::fromStdString(change.changeId);
    if (log_.IsOpen())
        Log(LogSetAsideLine(Now(), change.line, static_cast<uint8_t>(change.netNum), id, error));
    if (listener_) {
        listener_->AccountingTrouble(
            QStringLiteral("Учет отказал в изменении (линия %1, весы %2, %3), оно отложено: %4")
                .arg(change.line)
                .arg(change.netNum)
                .arg(QString::fromStdString(change.product), error));
        listener_->SetAsideChanged();
    }
    setAsideShown_ = true;
}

void TMainCore::SetAsideAnswered()
{
    if (!listener_)
        return;
    listener_->SetAsideChanged();
    if (setAsideShown_ && SetAsideList().empty()) {
        setAsideShown_ = false;
        listener_->AccountingTrouble(QString());
    }
}

std::vector<TLedgerDelivery> TMainCore::SetAsideList() const
{
    return accountServer_ ? accountServer_->SetAsideList() : std::vector<TLedgerDelivery> {};
}

bool TMainCore::SendAgain(int64_t seq)
{
    const bool done = accountServer_ && accountServer_->SendAgain(seq);
    if (done)
        SetAsideAnswered();
    return done;
}

bool TMainCore::Discard(int64_t seq)
{
    const bool done = accountServer_ && accountServer_->Discard(seq);
    if (done)
        SetAsideAnswered();
    return done;
}

void TMainCore::CallConnect()
{
    const QString path = QDir(options_.programDir).filePath(kBdlFile);
    if (!QFileInfo::exists(path))
        return;
    const QString connection = ReadConnectionLine(path);
    // The call is made with or without an object; without one it fails like a call on
    // an empty reference.
    if (!accountServer_)
        throw TStepError(AccountErrorText(kNoObject, QStringLiteral("Connect")));
    // Sent first when the object is made; a failure comes as a message box then.
    accountServer_->SetConnection(connection);
    accountServer_->Wake();
}

std::optional<QString> TMainCore::LoadConfig()
{
    try {
        TConfigStore store(options_.storePath);
        WriteLineDefaults(store);
        for (int line = 1; line <= kLines; ++line)
            LoadLine(store, line);
        ReadOptions(store);
    } catch (const TStepError& error) {
        return error.text();
    }
    return std::nullopt;
}

void TMainCore::WriteLineDefaults(TConfigStore& store)
{
    for (int line = 1; line <= kLines; ++line) {
        const QString key = LineKey(line);
        if (store.KeyExists(key))
            continue;
        store.WriteBool(key, kTerminalTypeValue, false);
        for (int slot = 1; slot <= kSlots; ++slot) {
            store.WriteInteger(key, NetNumValue(slot), 0);
            store.WriteString(key, NamePValue(slot), DefaultProductName(slot));
        }
    }
    store.Flush();
}

void TMainCore::LoadLine(TConfigStore& store, int line)
{
    const QString key = LineKey(line);
    std::array<uint8_t, kSlots> netNums {};
    bool any = false;
    for (int slot = 1; slot <= kSlots; ++slot) {
        netNums[slot - 1] = static_cast<uint8_t>(store.ReadInteger(key, NetNumValue(slot)) & 0xFF);
        any = any || netNums[slot - 1] != 0;
    }
    if (!any)
        return;
    const bool sTypeMeh = !store.ReadBool(key, kTerminalTypeValue);
    uint16_t position = 0;
    for (int slot = 1; slot <= kSlots; ++slot) {
        const uint8_t netNum = netNums[slot - 1];
        const QString product = store.ReadString(key, NamePValue(slot));
        if (netNum == 0)
            continue;
        auto object = MakeSlot(line, netNum, product, sTypeMeh);
        object->ExternNum = position++;
        lists_[line - 1].push_back(std::move(object));
    }
}

std::unique_ptr<TMain_Karvel> TMainCore::MakeSlot(int line, uint8_t netNum, const QString& product,
                                                  bool sTypeMeh)
{
    auto object = std::make_unique<TMain_Karvel>(netNum, product.toStdString(), sTypeMeh);
    object->FOnReadDozeParam = [this](uint8_t pos, uint8_t eNum, const TDosageStructure& dosage) {
        if (DozStructParShow)
            DozStructParShow(pos, eNum, dosage);
    };
    object->FOnEventChangeCount = [this, line](const std::string& p, uint8_t n, double d, double c,
                                               const std::string& dt, const std::string& ct) {
        AddCountLine(line, p, n, d, c, dt, ct);
    };
    object->FOnConnectFalse = [this, line](uint8_t n) { ConnectFalse(line, n); };
    object->FOnConnectTrue = [this, line](uint8_t n) { ConnectTrue(line, n); };
    return object;
}

void TMainCore::ReadOptions(TConfigStore& store)
{
    if (!store.KeyExists(kPortParamKey))
        return;
    if (store.ReadBool(kPortParamKey, kLogWrValue) && !log_.IsOpen())
        OpenLog();
    soundStop_ = store.ReadBool(kPortParamKey, kSoundStopValue);
    soundMode_ = store.ReadBool(kPortParamKey, kSoundModeValue);
    soundFileName_ = store.ReadString(kPortParamKey, kSoundFileNameValue);
    if (soundStop_ && !soundMode_ && OpenSoundFile) {
        if (const auto error = OpenSoundFile(soundFileName_))
            throw TStepError(*error);
    }
}

void TMainCore::OpenLog()
{
    // A log that cannot be opened or written stays off, without a message.
    if (!log_.Open(QDir(options_.programDir).filePath(kLogFile)) ||
        !log_.WriteLine(LogStartLine(Now())))
        log_.Close();
}

void TMainCore::StartUp()
{
    for (const QString& text : FormCreate())
        if (listener_)
            listener_->ShowMessage(text);
}

bool TMainCore::Reload()
{
    FreeTerminals();
    const auto error = LoadConfig();
    if (error && listener_)
        listener_->ShowMessage(*error);
    return !error;
}

void TMainCore::FreeTerminals()
{
    std::this_thread::sleep_for(options_.freeTerminalsWait);
    for (TLineList& list : lists_)
        list.clear(); // first to last
}

void TMainCore::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    FreeTerminals();
    accountServer_.reset(); // releases the object; what waits stays in the ledger
    if (book_)
        book_->FlushMemory(); // a last try for changes a full disk kept in memory
    book_.reset();
    mqtt_.reset(); // "offline" to the broker; what waits stays in the ledger
    if (log_.IsOpen()) {
        Log(LogStopLine(Now()));
        log_.Close();
    }
    adminPassword_.clear();
}

QString TMainCore::CountStatusText(const QString& product, uint8_t netNum,
                                   const QString& countCText, const QString& countDText)
{
    return QStringLiteral("Весы: ") + product + QStringLiteral("; № ") + QString::number(netNum) +
        QStringLiteral("; C: ") + countCText + QStringLiteral("; d: ") + countDText;
}

void TMainCore::AddCountLine(int line, const std::string& product, uint8_t netNum, double countD,
                             double countC, const std::string& countDText,
                             const std::string& countCText)
{
    const QString name = QString::fromStdString(product);
    if (listener_)
        listener_->StatusText(line,
                              CountStatusText(name, netNum, QString::fromStdString(countCText),
                                              QString::fromStdString(countDText)));
    if (!book_)
        return;
    TLedgerChange change;
    change.line = line;
    change.netNum = netNum;
    change.product = product;
    change.countC = countC;
    change.countD = countD;
    // One short transaction before any call; the sink is woken by the write.
    if (book_->Book(change)) {
        if (memoryTroubleShown_)
            RetryMemory(); // clears the status line
        return;
    }
    memoryRetry_.start();
    if (book_->InMemory() == 1 && log_.IsOpen())
        Log(LogKeptInMemoryLine(Now(), line, netNum, book_->LastError()));
    if (listener_)
        listener_->AccountingTrouble(
            QStringLiteral("Журнал учета не записан на диск (%1), изменений в памяти: %2")
                .arg(book_->LastError())
                .arg(book_->InMemory()));
    memoryTroubleShown_ = true;
}

bool TMainCore::MqttEnabled() const
{
    try {
        const TConfigStore store(options_.storePath);
        return LoadMqttSettings(store).enabled;
    } catch (const TStepError&) {
        return false; // StartMqtt reports it
    }
}

void TMainCore::StartMqtt()
{
    mqtt_.reset();
    try {
        TConfigStore store(options_.storePath);
        const TMqttSettings settings = LoadMqttSettings(store);
        // Changes booked from now on wait for the broker only while it is switched on.
        if (book_)
            book_->SetSink(ledger::kSinkMqtt, settings.enabled);
        if (!settings.enabled)
            return;
        if (const auto error = CheckMqttSettings(settings)) {
            if (listener_)
                listener_->ShowMessage(*error);
            return;
        }
        TMqttSinkConfig config;
        config.settings = settings;
        config.stationId = stationId_;
        config.ledgerPath =
            QDir(options_.programDir).filePath(QString::fromLatin1(ledger::kFileName));
        mqtt_ = std::make_unique<TMqttStation>(config);
    } catch (const TStepError& error) {
        if (listener_)
            listener_->ShowMessage(error.text());
        return;
    }
    mqtt_->SetLiveSource([this] {
        std::vector<TLiveTerminal> values;
        for (int line = 1; line <= kLines; ++line)
            for (const auto& slot : lists_[line - 1])
                values.push_back(LiveTerminalOf(line, *slot));
        return values;
    });
}

void TMainCore::ConnectFalse(int line, uint8_t netNum)
{
    if (log_.IsOpen())
        Log(LogLinkLostLine(Now(), line, netNum));
    stateLists_.AddPin(static_cast<uint8_t>(line), netNum);
    if (listener_)
        listener_->ShowState(stateLists_.ShowData());
}

void TMainCore::ConnectTrue(int line, uint8_t netNum)
{
    if (log_.IsOpen())
        Log(LogLinkBackLine(Now(), line, netNum));
    stateLists_.DropPin(static_cast<uint8_t>(line), netNum);
}

void TMainCore::AlarmSoundFailed(const QString& error)
{
    if (log_.IsOpen())
        Log(LogAlarmSoundFailedLine(Now(), error));
}

} // namespace karvel
