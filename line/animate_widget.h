#pragma once
// A small flow animation of a line window: plays the clip "Eth_v" from the program's
// resources, scaled to the control, looping. Stopped, it shows a still frame.

#include <QMovie>
#include <QWidget>

#include <memory>

namespace karvel {

class TAnimateWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSide = 17; // the control's size on the window
    static constexpr int kClipFrames = 20;
    static constexpr int kClipSide = 32; // the clip's own frame size
    static constexpr int kFramesPerSecond = 30;

    explicit TAnimateWidget(QWidget* parent = nullptr);
    ~TAnimateWidget() override;

    // Plays (true) or stops (false) the clip.
    void SetActive(bool active);
    bool Active() const;

    const QMovie& Movie() const { return *movie_; }
    QSize sizeHint() const override { return QSize(kSide, kSide); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<QMovie> movie_;
};

} // namespace karvel
