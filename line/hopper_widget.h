#pragma once
// The hopper indicator of a line window: body, funnel, discharge damper and the weight
// text on the body. The selected terminal writes its weight and damper state into it;
// everything else is set once by the window.

#include <QColor>
#include <QString>
#include <QWidget>

namespace karvel {

class THopperWidget : public QWidget {
    Q_OBJECT
public:
    // Every field starts zero, false or empty (colours black); the owner sets them.
    explicit THopperWidget(QWidget* parent = nullptr);

    int ShiftUpDown() const { return ShiftUD; }
    int ShiftLeftRight() const { return ShiftLR; }
    int Proportion() const { return Excentr; }
    int Konusnost() const { return KKonus; }
    const QString& Caption() const { return CaptionString; }
    const QString& CaptionD() const { return CaptionString1; }
    bool OpenClose() const { return OpenCloseDamper; }
    bool Lamplight() const { return Lamp; }
    int RadiusC() const { return Radius; }
    bool isEmpty() const { return Empty; }
    bool isAlert() const { return Alert; }
    int TextSize() const { return TextSize_; }
    const QColor& Color() const { return Color_; }
    const QColor& TextBordColor() const { return TextBordColor_; }

    // Each of these stores the value and repaints at once.
    void SetShiftUpDown(int value);
    void SetShiftLeftRight(int value);
    void SetProportion(int value);
    void SetCaption(const QString& value);
    void SetCaptionD(const QString& value);
    void SetOpenClose(bool value);
    void SetLamplight(bool value);
    void SetRadiusC(int value);
    void SetIsEmpty(bool value);
    void SetIsAlert(bool value);
    void SetTextSize(int value);
    void SetColor(const QColor& value);
    void SetTextBordColor(const QColor& value);
    // Only stores the value: the funnel changes at the next paint, whatever causes it.
    void SetKonusnost(int value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    template <typename T> void Store(T& field, const T& value);

    int ShiftUD = 0;
    int ShiftLR = 0;
    int Excentr = 0;
    int KKonus = 0;
    QString CaptionString;
    QString CaptionString1;
    bool OpenCloseDamper = false;
    bool Lamp = false;
    int Radius = 0;
    bool Empty = false;
    bool Alert = false;
    int TextSize_ = 0;
    QColor Color_ {Qt::black};
    QColor TextBordColor_ {Qt::black};
};

} // namespace karvel
