#pragma once
// Helpers for looking at what a widget painted.

#include <QApplication>
#include <QColor>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QWidget>
#include <QWindow>

#include <functional>

namespace karvel::test {

inline QImage Picture(QWidget& widget)
{
    return widget.grab().toImage();
}

inline QColor At(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y).toRgb();
}

// Shows the widget and waits until its window is on screen.
inline void ShowExposed(QWidget& widget)
{
    widget.show();
    QElapsedTimer waited;
    waited.start();
    while (!(widget.windowHandle() && widget.windowHandle()->isExposed()) &&
           waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Runs the event loop until `done` holds or the limit has passed; whether it held.
inline bool SpinUntil(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() >= limitMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

} // namespace karvel::test
