#include "doz_struct_par.h"

#include "line_poller.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

namespace karvel {

namespace {

struct TRowDesign {
    const char* caption;
    const char* unit;
    int y;
};

// Captions 1..6 as they read before the first InitBerorShow.
const TRowDesign kRows[kDozRows] = {
    {"Вес разового отвеса", "кг", 16},
    {"Время выдержки веса перед фиксацией показаний", "сек", 48},
    {"Время открытого состояния нижней заслонки", "сек", 82},
    {"Пороговый вес пустого бункера", "кг", 112},
    {"Величина заданной производительности", "т/ч", 147},
    {"Величина ограниченной дозы", "т", 187},
};

struct TModelTexts {
    std::array<const char*, kDozRows> tips;
    const char* label3;
    const char* label5;
};

const TModelTexts kKr200 = {{"SEL_8.3", "SEL_8.17", "SEL_8.12", "SEL_8.10", "SEL_8.7", "SEL_8.2"},
                            "Максимально разрешенное время выгрузки",
                            "Ограничение по проиводительности весов"};
const TModelTexts kKr100 = {{"SEL_8.3", "SEL_8.4", "SEL_8.5", "SEL_8.2", "SEL_8.6", "SEL_8.9"},
                            "Время открытого состояния нижней заслонки",
                            "Величина заданной проиводительности"};

constexpr int kCaptionX = 11;
constexpr int kEditX = 453;
constexpr int kEditWidth = 121;
constexpr int kUnitX = 589;
constexpr int kRowHeight = 27;

} // namespace

TDozStructPar::TDozStructPar(TLineLookup lines, QWidget* parent)
    : QDialog(parent), lines_(std::move(lines))
{
    setWindowTitle(
        QStringLiteral("Насторойки параметров перевешивания. (Десятичный разделитель - \" . \")"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    move(174, 156);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* box = new QGroupBox(QStringLiteral("Весы"), this);
    box->setObjectName(QStringLiteral("GroupBox1"));
    box->setFixedSize(617, 270);
    layout->addWidget(box);
    BuildRows(box);
    BuildButtons(box);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(false);
    statusPanel_ = new QLabel(status);
    statusPanel_->setMinimumWidth(50);
    status->addWidget(statusPanel_, 1);
    layout->addWidget(status);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TDozStructPar::~TDozStructPar() = default;

void TDozStructPar::BuildRows(QWidget* box)
{
    QFont captionFont(QStringLiteral("Times New Roman"));
    captionFont.setPixelSize(19);
    for (int row = 0; row < kDozRows; ++row) {
        const TRowDesign& design = kRows[row];
        auto* caption = new QLabel(QString::fromUtf8(design.caption), box);
        caption->setObjectName(QStringLiteral("Label%1").arg(row + 1));
        caption->setFont(captionFont);
        caption->setGeometry(kCaptionX, design.y, kEditX - kCaptionX - 6, kRowHeight);
        auto* edit = new QLineEdit(box);
        edit->setObjectName(QStringLiteral("Edit%1").arg(row + 1));
        edit->setGeometry(kEditX, design.y + 2, kEditWidth, 23);
        auto* unit = new QLabel(QString::fromUtf8(design.unit), box);
        unit->setObjectName(QStringLiteral("Label%1").arg(row + 7));
        unit->setGeometry(kUnitX, design.y, 26, kRowHeight);
        captions_[static_cast<size_t>(row)] = caption;
        edits_[static_cast<size_t>(row)] = edit;
    }
}

void TDozStructPar::BuildButtons(QWidget* box)
{
    writeBtn_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                                QStringLiteral("Записаь параметры"), box);
    writeBtn_->setObjectName(QStringLiteral("BitBtn1"));
    writeBtn_->setGeometry(11, 237, 198, 25);
    writeBtn_->setDefault(true);
    connect(writeBtn_, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

    cancelBtn_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                 QStringLiteral("Отмена"), box);
    cancelBtn_->setObjectName(QStringLiteral("BitBtn2"));
    cancelBtn_->setGeometry(232, 237, 197, 25);
    cancelBtn_->setAutoDefault(false);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
}

void TDozStructPar::InitBerorShow(bool sTypeMeh)
{
    const TModelTexts& texts = sTypeMeh ? kKr200 : kKr100;
    for (int row = 0; row < kDozRows; ++row)
        edits_[static_cast<size_t>(row)]->setToolTip(
            QString::fromLatin1(texts.tips[static_cast<size_t>(row)]));
    captions_[2]->setText(QString::fromUtf8(texts.label3));
    captions_[4]->setText(QString::fromUtf8(texts.label5));
}

void TDozStructPar::ParamRequested(int line, uint16_t externNum, bool sTypeMeh)
{
    tecLine_ = static_cast<uint16_t>(line);
    InitBerorShow(sTypeMeh);
    requests_.Note(line, externNum);
}

bool TDozStructPar::Show(uint8_t pos, uint8_t eNum, const TDosageStructure& dosageStructure)
{
    const TDozSource source = requests_.Take(eNum, dosageStructure, lines_);
    if (!source.terminal)
        return false;
    waiting_.push_back({source, pos, dosageStructure});
    if (open_)
        return true;
    open_ = true;
    while (!waiting_.empty()) {
        const TArrival arrival = waiting_.front();
        waiting_.erase(waiting_.begin());
        Present(arrival);
    }
    open_ = false;
    return true;
}

void TDozStructPar::Present(const TArrival& arrival)
{
    source_ = arrival.source;
    tecLine_ = static_cast<uint16_t>(source_.line);
    tecDoz_ = source_.terminal->ExternNum;
    // The captions follow the terminal the values came from, whichever line asked last.
    InitBerorShow(source_.terminal->TypeWMeh);
    const TDozTexts texts = DozTexts(arrival.values, arrival.pos);
    for (int row = 0; row < kDozRows; ++row)
        edits_[static_cast<size_t>(row)]->setText(texts[static_cast<size_t>(row)]);
    statusPanel_->clear();
    exec();
    source_ = {};
}

bool TDozStructPar::BitBtn1Click()
{
    TDozTexts texts;
    for (int row = 0; row < kDozRows; ++row)
        texts[static_cast<size_t>(row)] = edits_[static_cast<size_t>(row)]->text();
    TMain_Karvel* terminal = source_.terminal;
    // The divisor the terminal object read the weights with: 1 before its first weight
    // answer, never 0 and never cut to 16 bits.
    const double divisor = (terminal && terminal->DelDecPoint != 0) ? terminal->DelDecPoint : 1;
    const TDozConversion conversion = ConvertDozTexts(texts, divisor);
    if (!conversion.Ok()) {
        statusPanel_->setText(conversion.message);
        return false;
    }
    statusPanel_->clear();
    if (!terminal)
        return false;
    StoreDozRaw(terminal->DosageStructure, conversion.raw);
    terminal->Command_WriteDoz();
    accept();
    return true;
}

QString TDozStructPar::StatusText() const
{
    return statusPanel_->text();
}

bool ParamBtnClick(TDozStructPar& window, TLinePoller& poller, int line, bool kr200)
{
    TMain_Karvel* terminal = poller.SelectedTerminal();
    if (!terminal)
        return false;
    window.ParamRequested(line, terminal->ExternNum, kr200);
    return poller.Command(TLineCommand::ReadDoz);
}

} // namespace karvel
