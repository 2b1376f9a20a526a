#include "about_box.h"
#include "app_icons.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace karvel {
namespace {

QString LabelText(const QWidget& parent, const char* name)
{
    const auto* label = parent.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

TEST(AboutBoxTest, ShowsTheProgramTextsAndClosesWithOk)
{
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(box.minimumSize(), box.maximumSize()) << "fixed border";
    EXPECT_EQ(LabelText(box, "ProductName"), QStringLiteral("Автоматизированный учет"));
    EXPECT_TRUE(box.findChild<QLabel*>(QStringLiteral("ProductName"))->font().bold());
    EXPECT_EQ(LabelText(box, "Product"), QStringLiteral("Весы \"KARVEL\""));
    EXPECT_EQ(LabelText(box, "VersionLabel"), QStringLiteral("Версия ПО:"));
    EXPECT_EQ(LabelText(box, "Version"), QStringLiteral("5.2.0.0"));
    const QString note = LabelText(box, "Comments");
    EXPECT_TRUE(note.startsWith(
        QStringLiteral("Осуществляется полная поддержка только для версии ПО терминала:")));
    EXPECT_TRUE(note.contains(QStringLiteral("KR-100")));
    EXPECT_TRUE(note.contains(QStringLiteral("KR-200")));
    const auto* picture = box.findChild<QLabel*>(QStringLiteral("ProgramIcon"));
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());

    auto* ok = box.findChild<QPushButton*>(QStringLiteral("OKButton"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    box.show();
    ok->click();
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST(ToolbarIconsTest, EveryPictureButtonHasItsPictureInToolbarOrder)
{
    const QStringList names {"L1Btn",        "L2Btn",   "L3Btn",      "L4Btn",  "EditLineBtn",
                             "ComPortEdBtn", "BitBtn1", "NoSoundBtn", "LogBtn", "ReportBtn"};
    ASSERT_EQ(kToolbarOrder.size(), size_t(names.size()));
    for (size_t i = 0; i < kToolbarOrder.size(); ++i) {
        const TToolbarButton button = kToolbarOrder[i];
        EXPECT_EQ(ToolbarButtonName(button), names[int(i)]);
        const QIcon icon = ToolbarIcon(button);
        if (button == TToolbarButton::LogBtn) {
            EXPECT_TRUE(icon.isNull()) << "the Log button has a caption";
            continue;
        }
        ASSERT_FALSE(icon.isNull()) << names[int(i)].toStdString();
        const QImage image = icon.pixmap(32, 32).toImage();
        EXPECT_EQ(image.size(), QSize(32, 32));
        EXPECT_EQ(ToolbarIcon(names[int(i)]).pixmap(32, 32).toImage(), image);
        for (size_t j = 0; j < i; ++j) {
            if (kToolbarOrder[j] != TToolbarButton::LogBtn) {
                EXPECT_NE(ToolbarIcon(kToolbarOrder[j]).pixmap(32, 32).toImage(), image)
                    << "two buttons, one picture";
            }
        }
    }
    EXPECT_TRUE(ToolbarIcon(QStringLiteral("NoSuchBtn")).isNull());
    EXPECT_EQ(ToolbarButtonSize(TToolbarButton::L1Btn), QSize(57, 47));
    EXPECT_EQ(ToolbarButtonSize(TToolbarButton::NoSoundBtn), QSize(58, 47));
}

} // namespace
} // namespace karvel
