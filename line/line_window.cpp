#include "line_window.h"

#include "animate_widget.h"
#include "hopper_widget.h"
#include "show_message.h"
#include "state_tab_bar.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace karvel {

namespace {

constexpr int kClientWidth = 481;
constexpr int kTabAreaHeight = 245; // above the status bar
const QColor kMaroon(128, 0, 0);
const QColor kAqua(0, 255, 255);

QFont TimesBold(int pixels)
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

struct ValueRow {
    const char* caption;
    const char* unit; // tooltip, empty for none
};

// The six counters in the order of TSlotDisplay::CountText.
constexpr ValueRow kValueRows[6] = {
    {"Cуммарный вес", "КГ"},       {"Кол-во отвесов", ""}, {"Вес последней порции", "КГ"},
    {"Производительность", "Т/Ч"}, {"Время цикла", "СЕК"}, {"Ограниченная сумма", "КГ"},
};

struct CommandButton {
    const char* caption;
    int x, width;
    QColor colour;
    void (TFormLine::*click)();
};

} // namespace

TFormLine::TFormLine(int line, const TLineList& list, TLineSettingsSource& settings,
                     QWidget* parent)
    : QMainWindow(parent), traits_(LineTraits(line))
{
    setWindowTitle(QString::fromUtf8(traits_.caption));
    setObjectName(QStringLiteral("TFormLine%1").arg(line));
    auto* central = new QWidget(this);
    central->setFixedSize(kClientWidth, kTabAreaHeight);
    setCentralWidget(central);

    tabs_ = new TStateTabBar(central);
    tabs_->setGeometry(0, 0, kClientWidth, 22);
    auto* groupBox1 = BuildCommandButtons(central);
    groupBox2_ = new QGroupBox(groupBox1);
    groupBox2_->setGeometry(176, 0, 289, 169);
    BuildValueFields(groupBox2_);
    auto* groupBox3 = new QGroupBox(groupBox1);
    groupBox3->setGeometry(0, 0, 177, 169);
    BuildHopper(groupBox3);
    BuildMenus();

    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(false);
    move(traits_.left, traits_.top);

    poller_ = std::make_unique<TLinePoller>(traits_, list, settings, *this, this);
    poller_->OnAlarm = [this] {
        if (OnAlarm)
            OnAlarm();
    };
    tabs_->SetTabColour(
        [this](int index) { return TabStateColour(poller_->TabState(index), palette()); });
}

TFormLine::~TFormLine()
{
    poller_->Stoping(); // the port closes before the controls the terminals write to go
}

QGroupBox* TFormLine::BuildCommandButtons(QWidget* parent)
{
    auto* box = new QGroupBox(parent);
    box->setGeometry(8, 24, 465, 217);
    const CommandButton buttons[] = {
        {"Старт", 8, 129, QColor(0, 128, 0), &TFormLine::StartBtnClick},
        {"Стоп", 136, 129, kMaroon, &TFormLine::StopBtnClick},
        {"Параметры", 264, 193, QColor(0, 0, 255), &TFormLine::ParamBtnClick},
    };
    for (const CommandButton& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), box);
        button->setGeometry(b.x, 176, b.width, 33);
        button->setFont(TimesBold(16));
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, b.colour);
        button->setPalette(palette);
        connect(button, &QPushButton::clicked, this, b.click);
    }
    return box;
}

void TFormLine::BuildValueFields(QGroupBox* box)
{
    for (int row = 0; row < 6; ++row) {
        const ValueRow& r = kValueRows[row];
        const int y = 16 + 24 * row;
        auto* caption = new QLabel(QString::fromUtf8(r.caption), box);
        caption->setGeometry(8, y, 156, 20);
        caption->setFont(TimesBold(15));
        auto* value = new QLabel(QStringLiteral("1"), box);
        value->setGeometry(166, y, 114, 20);
        value->setFont(TimesBold(15));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        const QString unit = QString::fromUtf8(r.unit);
        caption->setToolTip(unit);
        if (traits_.valueTooltips)
            value->setToolTip(unit);
        values_[static_cast<size_t>(row)] = value;
    }
}

void TFormLine::BuildHopper(QGroupBox* box)
{
    hopper_ = new THopperWidget(box);
    hopper_->setGeometry(24, 32, 137, 105);
    hopper_->SetShiftUpDown(5);
    hopper_->SetShiftLeftRight(5);
    hopper_->SetProportion(50);
    hopper_->SetKonusnost(10);
    hopper_->SetCaption(QStringLiteral("0.0"));
    hopper_->SetOpenClose(false);
    hopper_->SetLamplight(false);
    hopper_->SetRadiusC(20);
    hopper_->SetIsEmpty(false);
    hopper_->SetIsAlert(false);
    hopper_->SetTextSize(14);
    hopper_->SetColor(kAqua);
    hopper_->SetTextBordColor(kAqua);
    // Above the hopper (loading), below it (unloading), and the two beside the outlet.
    const QPoint places[4] = {{84, 16}, {84, 136}, {68, 136}, {100, 136}};
    for (size_t i = 0; i < animations_.size(); ++i) {
        animations_[i] = new TAnimateWidget(box);
        animations_[i]->setGeometry(places[i].x(), places[i].y(), TAnimateWidget::kSide,
                                    TAnimateWidget::kSide);
    }
}

void TFormLine::BuildMenus()
{
    struct Item {
        const char* caption;
        TLineCommand command;
    };
    QMenu* n1 = menuBar()->addMenu(QStringLiteral("Доп. команда"));
    n1->addAction(QStringLiteral("Открытие на проход продукта"), this, &TFormLine::ProductPass);

    kr200Menu_ = menuBar()->addMenu(QStringLiteral("Доп. команды KR-200"));
    const Item kr200Items[] = {
        {"Блокировка цикла загрузки", TLineCommand::Pause},
        {traits_.releaseCaption, TLineCommand::ResPause},
        {"Сброс цикла", TLineCommand::ResCicle},
        {"Выключить пополнение", TLineCommand::ResPopoln},
        {"Обнулить сменные счетчики", TLineCommand::ZerCounters},
        {"Сброс ошибки", TLineCommand::ResErrors},
    };
    for (const Item& item : kr200Items) {
        const TLineCommand command = item.command;
        kr200Menu_->addAction(QString::fromUtf8(item.caption), this,
                              [this, command] { Command(command); });
    }
    kr100Menu_ = menuBar()->addMenu(QStringLiteral("Доп. KR-100"));
    // The older model resets its current cycle on the block command.
    kr100Menu_->addAction(QStringLiteral("Сброс текущего цикла"), this,
                          [this] { Command(TLineCommand::Pause); });
}

void TFormLine::FormCreate()
{
    for (TAnimateWidget* animation : animations_)
        animation->SetActive(traits_.animationsRunning);
    Init();
}

void TFormLine::Command(TLineCommand command)
{
    poller_->Command(command);
}

void TFormLine::StartBtnClick()
{
    Command(TLineCommand::Start);
}

void TFormLine::StopBtnClick()
{
    Command(TLineCommand::Stop);
}

void TFormLine::ProductPass()
{
    if (poller_->SelectedTerminal() == nullptr)
        return;
    if (AskProductPass && AskProductPass(this))
        poller_->Command(TLineCommand::Prohod);
}

void TFormLine::ParamBtnClick()
{
    const int selected = SelectedTab();
    if (poller_->SelectedTerminal() == nullptr)
        return;
    if (ParamRequested)
        ParamRequested(traits_.number, static_cast<uint16_t>(selected), Kr200MenuVisible());
    poller_->Command(TLineCommand::ReadDoz);
}

bool TFormLine::Kr200MenuVisible() const
{
    return kr200Menu_->menuAction()->isVisible();
}

void TFormLine::ShowPortState(const std::string& text)
{
    SetStatusText(QString::fromStdString(text));
}

void TFormLine::SetStatusText(const QString& text)
{
    status_->setText(text);
}

QString TFormLine::StatusText() const
{
    return status_->text();
}

QString TFormLine::ValueText(TSlotDisplay::CountText field) const
{
    return values_[field]->text();
}

QString TFormLine::GroupCaption() const
{
    return groupBox2_->title();
}

// ---- what the polling cycle shows ----------------------------------------------------

void TFormLine::ClearTabs()
{
    while (tabs_->count() > 0)
        tabs_->removeTab(tabs_->count() - 1);
}

void TFormLine::AddTab(const std::string& caption)
{
    tabs_->addTab(QString::fromStdString(caption));
}

int TFormLine::SelectedTab() const
{
    return tabs_->currentIndex();
}

void TFormLine::RepaintTabs()
{
    tabs_->update();
}

void TFormLine::SetGroupCaption(const std::string& caption)
{
    groupBox2_->setTitle(QString::fromStdString(caption));
}

void TFormLine::ShowModelMenus(bool kr100)
{
    kr200Menu_->menuAction()->setVisible(!kr100);
    kr100Menu_->menuAction()->setVisible(kr100);
}

void TFormLine::ShowMessage(const std::string& text)
{
    karvel::ShowMessage(this, QString::fromStdString(text));
}

void TFormLine::ShowWindow()
{
    show();
}

// ---- what the selected terminal writes ----------------------------------------------

void TFormLine::SetHopperCaption(const std::string& caption)
{
    hopper_->SetCaption(QString::fromStdString(caption));
}

bool TFormLine::HopperOpen() const
{
    return hopper_->OpenClose();
}

void TFormLine::SetHopperOpen(bool open)
{
    hopper_->SetOpenClose(open);
}

void TFormLine::SetAnimationActive(Animation animation, bool playing)
{
    animations_[animation]->SetActive(playing);
}

void TFormLine::SetAnimationVisible(Animation animation, bool visible)
{
    animations_[animation]->setVisible(visible);
}

void TFormLine::SetCountText(CountText field, const std::string& text)
{
    values_[field]->setText(QString::fromStdString(text));
}

} // namespace karvel
