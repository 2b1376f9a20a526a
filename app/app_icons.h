#pragma once
// The pictures of the main window's toolbar buttons and of the About window.

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <array>

namespace karvel {

enum class TToolbarButton {
    L1Btn,
    L2Btn,
    L3Btn,
    L4Btn,
    EditLineBtn,
    ComPortEdBtn,
    BitBtn1,
    NoSoundBtn,
    LogBtn,
    ReportBtn
};

// The toolbar's buttons from left to right.
inline constexpr std::array<TToolbarButton, 10> kToolbarOrder = {
    TToolbarButton::L1Btn,     TToolbarButton::L2Btn,       TToolbarButton::L3Btn,
    TToolbarButton::L4Btn,     TToolbarButton::EditLineBtn, TToolbarButton::ComPortEdBtn,
    TToolbarButton::BitBtn1,   TToolbarButton::NoSoundBtn,  TToolbarButton::LogBtn,
    TToolbarButton::ReportBtn,
};

// The control's name, e.g. "L1Btn".
QString ToolbarButtonName(TToolbarButton button);
// 57 x 47 pixels; the silence button is 58 wide.
QSize ToolbarButtonSize(TToolbarButton button);
// The button's picture, 32 x 32. "Log" has a caption instead: a null icon.
QIcon ToolbarIcon(TToolbarButton button);
// By control name ("L1Btn" .. "ReportBtn"); a null icon for any other name.
QIcon ToolbarIcon(const QString& controlName);
// The About window's picture, 64 x 64.
QPixmap AboutPicture();

} // namespace karvel
