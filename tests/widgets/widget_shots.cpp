// Writes screenshots of the standalone widgets into a folder (docs/screenshots):
// hopper.png, tabs.png, about.png, state-window.png.
#include "about_box.h"
#include "animate_widget.h"
#include "hopper_widget.h"
#include "state_lists.h"
#include "state_tab_bar.h"
#include "state_window.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QTimer>

#include <array>
#include <cstdio>

using namespace karvel;

namespace {

// One hopper as the line window sets it up, with the flow animations around it.
QGroupBox* HopperGroup(const QString& title, const QString& caption, bool open, QWidget* parent)
{
    auto* group = new QGroupBox(title, parent);
    group->setFixedSize(177, 169);
    auto* hopper = new THopperWidget(group);
    hopper->setGeometry(24, 32, 137, 105);
    hopper->SetShiftUpDown(5);
    hopper->SetShiftLeftRight(5);
    hopper->SetProportion(50);
    hopper->SetKonusnost(10);
    hopper->SetCaption(caption);
    hopper->SetOpenClose(open);
    hopper->SetRadiusC(20);
    hopper->SetTextSize(14);
    hopper->SetColor(QColor(0, 255, 255));
    hopper->SetTextBordColor(QColor(0, 255, 255));
    const std::array<QPoint, 4> places {QPoint(84, 16), QPoint(84, 136), QPoint(68, 136),
                                        QPoint(100, 136)};
    for (size_t i = 0; i < places.size(); ++i) {
        auto* flow = new TAnimateWidget(group);
        flow->move(places[i]);
        // Loading shows the flow above, unloading the three below.
        flow->setVisible(open ? i > 0 : i == 0);
        flow->SetActive(true);
    }
    return group;
}

bool Save(QWidget& widget, const QDir& dir, const char* name)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    const bool ok = widget.grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    QWidget hoppers;
    auto* row = new QHBoxLayout(&hoppers);
    row->addWidget(HopperGroup(QStringLiteral("Закрыта"), QStringLiteral("48.6"), false, &hoppers));
    row->addWidget(HopperGroup(QStringLiteral("Открыта"), QStringLiteral("0.0"), true, &hoppers));
    hoppers.show();

    TStateTabBar tabs;
    const std::array<uint8_t, 6> states {0, 1, 2, 3, 0, 1};
    for (int i = 0; i < int(states.size()); ++i)
        tabs.addTab(QString::number(i + 1));
    tabs.SetTabColour(
        [&](int index) { return TabStateColour(states.at(size_t(index)), tabs.palette()); });
    tabs.setCurrentIndex(1);
    tabs.resize(tabs.sizeHint());
    tabs.show();

    TAboutBox about;
    about.show();

    TStateLists lists;
    lists.AddPin(1, 5);
    lists.AddPin(1, 2);
    lists.AddPin(3, 12);
    TLogFrm state;
    state.ShowState(lists.ShowData());

    int failures = 0;
    // Let the windows come up and the animations move a few frames first.
    QTimer::singleShot(400, &app, [&] {
        failures += !Save(hoppers, dir, "hopper.png");
        failures += !Save(tabs, dir, "tabs.png");
        failures += !Save(about, dir, "about.png");
        failures += !Save(state, dir, "state-window.png");
        app.exit(failures);
    });
    return app.exec();
}
