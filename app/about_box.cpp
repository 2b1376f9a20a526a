#include "about_box.h"

#include "app_icons.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace karvel {

namespace {

QLabel* Text(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// Picture, title, product and version, side by side.
QWidget* Heading(QWidget* parent)
{
    auto* panel = new QWidget(parent);
    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setPixmap(AboutPicture());
    picture->setFixedSize(68, 68);
    picture->setFrameShape(QFrame::Panel);
    picture->setFrameShadow(QFrame::Sunken);
    picture->setAlignment(Qt::AlignCenter);

    QLabel* title =
        Text(QStringLiteral("ProductName"), QStringLiteral("Автоматизированный учет"), panel);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    title->setFont(bold);

    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(
        Text(QStringLiteral("VersionLabel"), QStringLiteral("Версия ПО:"), panel));
    versionRow->addWidget(Text(QStringLiteral("Version"), TAboutBox::kVersion, panel));
    versionRow->addStretch();

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(Text(QStringLiteral("Product"), QStringLiteral("Весы \"KARVEL\""), panel));
    texts->addLayout(versionRow);
    texts->addStretch();

    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addSpacing(8);
    row->addLayout(texts, 1);
    return panel;
}

QWidget* Notes(QWidget* parent)
{
    auto* box = new QFrame(parent);
    box->setFrameShape(QFrame::StyledPanel);
    box->setFrameShadow(QFrame::Sunken);
    auto* column = new QVBoxLayout(box);
    QLabel* note =
        Text(QStringLiteral("Comments"),
             QStringLiteral("Осуществляется полная поддержка только для версии ПО терминала:\n"
                            "KR-100 — версия 3.x\n"
                            "KR-200 — версия 1.x"),
             box);
    column->addWidget(note);
    column->addSpacing(6);
    column->addWidget(
        Text(QStringLiteral("Copyright"),
             QStringLiteral("Разработчик: Vistam\n"
                            "По вопросам поддержки обращайтесь к поставщику системы."),
             box));
    return box;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* column = new QVBoxLayout(this);
    column->addWidget(Heading(this));
    column->addWidget(Notes(this));
    column->addWidget(ok, 0, Qt::AlignHCenter);

    // A fixed border: the window cannot be resized.
    setFixedSize(sizeHint());
    if (const QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
}

} // namespace karvel
