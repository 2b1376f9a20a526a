#include "app_icons.h"

// The pictures are compiled into this static library, which must register them itself.
static void InitIconResource()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)registered;
}

namespace karvel {

namespace {

struct TButtonRow {
    TToolbarButton button;
    const char* name;
    const char* picture; // resource path, or null for a caption button
};

constexpr std::array<TButtonRow, 10> kButtons = {{
    {TToolbarButton::L1Btn, "L1Btn", ":/icons/line1.png"},
    {TToolbarButton::L2Btn, "L2Btn", ":/icons/line2.png"},
    {TToolbarButton::L3Btn, "L3Btn", ":/icons/line3.png"},
    {TToolbarButton::L4Btn, "L4Btn", ":/icons/line4.png"},
    {TToolbarButton::EditLineBtn, "EditLineBtn", ":/icons/editline.png"},
    {TToolbarButton::ComPortEdBtn, "ComPortEdBtn", ":/icons/comport.png"},
    {TToolbarButton::BitBtn1, "BitBtn1", ":/icons/about.png"},
    {TToolbarButton::NoSoundBtn, "NoSoundBtn", ":/icons/nosound.png"},
    {TToolbarButton::LogBtn, "LogBtn", nullptr},
    {TToolbarButton::ReportBtn, "ReportBtn", ":/icons/report.png"},
}};

const TButtonRow& Row(TToolbarButton button)
{
    return kButtons.at(static_cast<size_t>(button));
}

} // namespace

QString ToolbarButtonName(TToolbarButton button)
{
    return QString::fromLatin1(Row(button).name);
}

QSize ToolbarButtonSize(TToolbarButton button)
{
    return QSize(button == TToolbarButton::NoSoundBtn ? 58 : 57, 47);
}

QIcon ToolbarIcon(TToolbarButton button)
{
    InitIconResource();
    const char* picture = Row(button).picture;
    return picture ? QIcon(QString::fromLatin1(picture)) : QIcon();
}

QIcon ToolbarIcon(const QString& controlName)
{
    for (const TButtonRow& row : kButtons)
        if (controlName == QLatin1String(row.name))
            return ToolbarIcon(row.button);
    return QIcon();
}

QPixmap AboutPicture()
{
    InitIconResource();
    return QPixmap(QStringLiteral(":/icons/about-picture.png"));
}

} // namespace karvel
