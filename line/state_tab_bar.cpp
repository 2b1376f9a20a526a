#include "state_tab_bar.h"

#include <QFontMetrics>
#include <QPainter>

namespace karvel {

namespace {

constexpr int kInactiveDrop = 2; // other tabs stand this much lower than the current one
constexpr int kTextPadding = 8;

} // namespace

QColor TabStateColour(uint8_t state, const QPalette& palette)
{
    switch (state) {
    case 1:
        return QColor(0, 128, 0);
    case 2:
        return QColor(255, 255, 0);
    case 3:
        return QColor(255, 0, 0);
    default:
        return palette.color(QPalette::Button);
    }
}

TStateTabBar::TStateTabBar(QWidget* parent) : QTabBar(parent)
{
    setDrawBase(false);
    setExpanding(false);
}

void TStateTabBar::SetTabColour(TTabColour colour)
{
    colour_ = std::move(colour);
    update();
}

QColor TStateTabBar::TabBackground(int index) const
{
    const QColor chosen = colour_ ? colour_(index) : QColor();
    return chosen.isValid() ? chosen : palette().color(QPalette::Button);
}

QFont TStateTabBar::TabFont(int index) const
{
    QFont tabFont = font();
    tabFont.setBold(index == currentIndex());
    return tabFont;
}

QSize TStateTabBar::tabSizeHint(int index) const
{
    // Room for the text in bold, whichever tab is current.
    QSize size = QTabBar::tabSizeHint(index);
    QFont bold = font();
    bold.setBold(true);
    const int textWidth = QFontMetrics(bold).horizontalAdvance(tabText(index)) + 2 * kTextPadding;
    size.setWidth(std::max(size.width(), textWidth));
    return size;
}

void TStateTabBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int current = currentIndex();
    for (int i = 0; i < count(); ++i)
        if (i != current)
            DrawTab(painter, i);
    // The current tab last, over its neighbours' edges.
    if (current >= 0)
        DrawTab(painter, current);
}

void TStateTabBar::DrawTab(QPainter& painter, int index) const
{
    const bool active = index == currentIndex();
    QRect r = tabRect(index);
    if (r.isEmpty())
        return;
    if (!active)
        r.setTop(r.top() + kInactiveDrop);

    const QPalette& pal = palette();
    painter.fillRect(r.adjusted(1, 1, -1, 0), TabBackground(index));

    // The tab's frame; a line along the bottom separates the tabs that are not current
    // from the page, so the current tab opens onto it.
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawLine(r.left(), r.bottom(), r.left(), r.top() + 1);
    painter.drawLine(r.left() + 1, r.top(), r.right() - 1, r.top());
    painter.drawLine(r.right(), r.top() + 1, r.right(), r.bottom());
    if (!active)
        painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());

    painter.setFont(TabFont(index));
    painter.setPen(pal.color(QPalette::ButtonText));
    painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, tabText(index));
}

} // namespace karvel
