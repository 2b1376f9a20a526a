#pragma once
// The tab bar of a line window: one tab per terminal, each painted with the background
// colour of its terminal's state (given by a callback), the current tab's text in bold.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QTabBar>

#include <cstdint>
#include <functional>

namespace karvel {

// Tab colour of a tab state: 0 the button face, 1 green (0, 128, 0), 2 yellow, 3 red.
// Other values have no colour of their own and leave the button face.
QColor TabStateColour(uint8_t state, const QPalette& palette);

class TStateTabBar : public QTabBar {
    Q_OBJECT
public:
    // Background colour of tab `index`; an invalid colour leaves the button face.
    using TTabColour = std::function<QColor(int index)>;

    explicit TStateTabBar(QWidget* parent = nullptr);

    void SetTabColour(TTabColour colour);
    // What the tab is painted with.
    QColor TabBackground(int index) const;
    QFont TabFont(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize tabSizeHint(int index) const override;

private:
    void DrawTab(QPainter& painter, int index) const;

    TTabColour colour_;
};

} // namespace karvel
