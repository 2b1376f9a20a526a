#include "form_edit_line.h"

#include "config_keys.h"
#include "config_store.h"
#include "show_message.h"
#include "step_error.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace karvel {

namespace {

constexpr int kRowHeight = 17;

QToolButton* ArrowButton(Qt::ArrowType arrow, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(false);
    return button;
}

} // namespace

TFormEditLine::TFormEditLine(QString storePath, QWidget* parent)
    : QDialog(parent), storePath_(std::move(storePath))
{
    setWindowTitle(QStringLiteral("Параметры линии"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* box = new QGroupBox(QStringLiteral("Выберите линию:"), this);
    auto* selector = new QHBoxLayout;
    selector->addWidget(new QLabel(QStringLiteral("Линия №"), box));
    edit1_ = new QLineEdit(QStringLiteral("1"), box);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    edit1_->setReadOnly(true);
    edit1_->setFixedWidth(32);
    edit1_->setAlignment(Qt::AlignCenter);
    selector->addWidget(edit1_);
    down_ = ArrowButton(Qt::LeftArrow, box);
    up_ = ArrowButton(Qt::RightArrow, box);
    selector->addWidget(down_);
    selector->addWidget(up_);
    selector->addSpacing(24);
    s100_ = new QRadioButton(QStringLiteral("KR - 100"), box);
    s100_->setObjectName(QStringLiteral("s100"));
    s200_ = new QRadioButton(QStringLiteral("KR - 200"), box);
    s200_->setObjectName(QStringLiteral("s200"));
    s100_->setChecked(true);
    selector->addWidget(s100_);
    selector->addWidget(s200_);
    selector->addStretch(1);
    connect(down_, &QToolButton::clicked, this, [this] { StepLine(-1); });
    connect(up_, &QToolButton::clicked, this, [this] { StepLine(+1); });

    grid_ = new QTableWidget(kSlots, 3, box);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    grid_->setHorizontalHeaderLabels(
        {QStringLiteral("№"), QStringLiteral("Сет.номер"), QStringLiteral("Продукт")});
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setMinimumSectionSize(kRowHeight);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid_->horizontalHeader()->setMinimumSectionSize(20);
    grid_->setColumnWidth(0, 25);
    grid_->setColumnWidth(1, 83);
    grid_->setColumnWidth(2, 257);
    grid_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    grid_->setFixedSize(25 + 83 + 257 + 2 * grid_->frameWidth() +
                            grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                        kRowHeight * 20);
    for (int row = 0; row < kSlots; ++row)
        SetCell(row, 0, QString::number(row + 1));

    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addLayout(selector);
    boxLayout->addWidget(grid_);

    saveBtn_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                               QStringLiteral("Сохранить"), this);
    saveBtn_->setObjectName(QStringLiteral("BitBtn1"));
    saveBtn_->setDefault(true);
    connect(saveBtn_, &QPushButton::clicked, this, &TFormEditLine::BitBtn1Click);
    cancelBtn_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                 QStringLiteral("Отмена"), this);
    cancelBtn_->setObjectName(QStringLiteral("BitBtn2"));
    cancelBtn_->setAutoDefault(false);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(saveBtn_);
    buttons->addWidget(cancelBtn_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int TFormEditLine::Line() const
{
    return edit1_->text().toInt();
}

void TFormEditLine::StepLine(int step)
{
    const int line = std::clamp(Line() + step, 1, kLines);
    if (line == Line())
        return;
    edit1_->setText(QString::number(line));
    // Unsaved edits of the line shown so far are dropped without a question.
    ShowData();
}

void TFormEditLine::ShowData()
{
    const int line = Line();
    if (line >= 1 && line <= kLines)
        LoadLine(line);
}

void TFormEditLine::LoadLine(int line)
{
    isEdit_ = false;
    bool loaded = false;
    try {
        const TConfigStore store(storePath_);
        if (const auto composition = LoadLineComposition(store, line)) {
            Show(*composition);
            loaded = true;
        }
    } catch (const TStepError& error) {
        ShowMessage(this, error.text());
    }
    SetSaveAllowed(loaded);
}

// After a failed load the grid still holds the line shown before (or nothing of this
// line), so a save would write another line's terminals into this one. The button stays
// off until a line loads; the grid is left as it is, and the faulty value is mended in
// the store, whose message named it.
void TFormEditLine::SetSaveAllowed(bool allowed)
{
    loaded_ = allowed;
    saveBtn_->setEnabled(allowed);
    saveBtn_->setToolTip(
        allowed ? QString()
                : QStringLiteral("Линия %1 не загружена: сохранение невозможно").arg(Line()));
}

void TFormEditLine::Show(const TLineComposition& composition)
{
    (composition.terminalType ? s100_ : s200_)->setChecked(true);
    for (int row = 0; row < kSlots; ++row) {
        const TLineSlotTexts& texts = composition.rows[static_cast<size_t>(row)];
        SetCell(row, 0, QString::number(row + 1));
        SetCell(row, 1, texts.netNum);
        SetCell(row, 2, texts.product);
    }
}

TLineComposition TFormEditLine::FromControls() const
{
    TLineComposition composition;
    composition.terminalType = s100_->isChecked();
    for (int row = 0; row < kSlots; ++row) {
        composition.rows[static_cast<size_t>(row)] = {Cell(row, 1), Cell(row, 2)};
    }
    return composition;
}

void TFormEditLine::BitBtn1Click()
{
    if (!loaded_)
        return; // the grid is not this line's
    isEdit_ = true;
    try {
        TConfigStore store(storePath_);
        SaveLineComposition(store, Line(), FromControls());
    } catch (const TStepError& error) {
        ShowMessage(this, error.text());
    }
}

bool TFormEditLine::Run()
{
    ShowData();
    return exec() == QDialog::Accepted;
}

void TFormEditLine::done(int)
{
    QDialog::done(isEdit_ ? QDialog::Accepted : QDialog::Rejected);
}

void TFormEditLine::SetCell(int row, int column, const QString& text)
{
    QTableWidgetItem* item = grid_->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        grid_->setItem(row, column, item); // the grid owns its items
    }
    item->setText(text);
}

QString TFormEditLine::Cell(int row, int column) const
{
    const QTableWidgetItem* item = grid_->item(row, column);
    return item ? item->text() : QString();
}

} // namespace karvel
