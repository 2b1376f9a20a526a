#include "animate_widget.h"

#include <QPainter>

// The clip is compiled into this library; a static library must register its resources
// itself, or the linker drops them.
static void InitClipResource()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(eth_v);
        return true;
    }();
    (void)registered;
}

namespace karvel {

namespace {

const QString kClip = QStringLiteral(":/Eth_v.gif");
// The clip stores 30 ms a frame (its format counts hundredths of a second); 90 % speed
// makes 33 ms, so the clip runs at 30 frames a second.
constexpr int kSpeedPercent = 90;

} // namespace

TAnimateWidget::TAnimateWidget(QWidget* parent) : QWidget(parent)
{
    InitClipResource();
    movie_ = std::make_unique<QMovie>(kClip);
    movie_->setCacheMode(QMovie::CacheAll);
    movie_->setSpeed(kSpeedPercent);
    movie_->setScaledSize(QSize(kSide, kSide));
    movie_->jumpToFrame(0);
    connect(movie_.get(), &QMovie::frameChanged, this, qOverload<>(&QWidget::update));
    setFixedSize(kSide, kSide);
}

TAnimateWidget::~TAnimateWidget() = default;

void TAnimateWidget::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active && movie_->state() == QMovie::Paused)
        movie_->setPaused(false);
    else if (active)
        movie_->start();
    else
        movie_->setPaused(true); // keeps the frame on view
}

bool TAnimateWidget::Active() const
{
    return movie_->state() == QMovie::Running;
}

void TAnimateWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, movie_->currentPixmap());
}

} // namespace karvel
