#include "hopper_widget.h"

#include "hopper_geometry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

namespace karvel {

namespace {

// The geometry's rectangles exclude their right and bottom edges. A one-pixel outline
// of QRect(x, y, w, h) covers x .. x + w, so the width and height are one less.
QRect OutlineRect(const THopperRect& r)
{
    return QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
}

bool HasArea(const THopperRect& r)
{
    return r.right > r.left && r.bottom > r.top;
}

// Text with its top at y; with a solid brush on an opaque box of the brush colour.
void WriteLine(QPainter& painter, const QBrush& brush, int centreX, int y, const QString& text)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int width = metrics.horizontalAdvance(text);
    const int x = centreX - width / 2;
    if (brush.style() == Qt::SolidPattern)
        painter.fillRect(QRect(x, y, width, metrics.height()), brush.color());
    painter.drawText(x, y + metrics.ascent(), text);
}

} // namespace

THopperWidget::THopperWidget(QWidget* parent) : QWidget(parent)
{
    // The paint covers the whole control, starting with the button face.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

template <typename T> void THopperWidget::Store(T& field, const T& value)
{
    field = value;
    // The control shows the new value at once, not at the next pass of the event loop.
    update();
    repaint();
}

void THopperWidget::SetShiftUpDown(int value)
{
    Store(ShiftUD, value);
}
void THopperWidget::SetShiftLeftRight(int value)
{
    Store(ShiftLR, value);
}
void THopperWidget::SetProportion(int value)
{
    Store(Excentr, value);
}
void THopperWidget::SetCaption(const QString& value)
{
    Store(CaptionString, value);
}
void THopperWidget::SetCaptionD(const QString& value)
{
    Store(CaptionString1, value);
}
void THopperWidget::SetOpenClose(bool value)
{
    Store(OpenCloseDamper, value);
}
void THopperWidget::SetLamplight(bool value)
{
    Store(Lamp, value);
}
void THopperWidget::SetRadiusC(int value)
{
    Store(Radius, value);
}
void THopperWidget::SetIsEmpty(bool value)
{
    Store(Empty, value);
}
void THopperWidget::SetIsAlert(bool value)
{
    Store(Alert, value);
}
void THopperWidget::SetTextSize(int value)
{
    Store(TextSize_, value);
}
void THopperWidget::SetColor(const QColor& value)
{
    Store(Color_, value);
}
void THopperWidget::SetTextBordColor(const QColor& value)
{
    Store(TextBordColor_, value);
}
void THopperWidget::SetKonusnost(int value)
{
    KKonus = value;
}

void THopperWidget::paintEvent(QPaintEvent*)
{
    THopperSettings settings;
    settings.width = width();
    settings.height = height();
    settings.shiftUpDown = ShiftUD;
    settings.shiftLeftRight = ShiftLR;
    settings.proportion = Excentr;
    settings.konusnost = KKonus;
    settings.open = OpenCloseDamper;
    const THopperGeometry g = HopperGeometry(settings);

    QPainter painter(this);
    const QColor face = palette().color(QPalette::Button);
    painter.fillRect(rect(), face);

    const Qt::BrushStyle style = Empty ? Qt::BDiagPattern : Qt::SolidPattern;
    painter.setBrush(QBrush(Alert ? QColor(Qt::red) : Color_, style));
    painter.setPen(QPen(Qt::black, 0));

    QPolygon funnel;
    for (const THopperPoint& p : g.funnel)
        funnel << QPoint(p.x, p.y);
    painter.drawPolygon(funnel);
    if (HasArea(g.body))
        painter.drawRect(OutlineRect(g.body));
    // A pointed funnel (no outlet) has no room for a closed damper.
    if (HasArea(g.damper))
        painter.drawRect(OutlineRect(g.damper));

    // The lamp is not drawn: nothing in the picture depends on Lamplight or RadiusC.
    const QBrush textBrush(Alert ? QColor(Qt::red) : TextBordColor_, style);
    QFont font = painter.font();
    if (TextSize_ > 0)
        font.setPointSize(TextSize_);
    painter.setFont(font);
    painter.setPen(Qt::black);
    WriteLine(painter, textBrush, g.textCentreX, g.textTop, CaptionString);
    if (!CaptionString1.isEmpty())
        WriteLine(painter, textBrush, g.textCentreX, painter.fontMetrics().height() + g.textTop,
                  CaptionString1);
}

} // namespace karvel
