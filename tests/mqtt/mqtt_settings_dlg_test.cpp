// The MQTT settings window on the offscreen platform, with the real store file.
#include "config_store.h"
#include "modal.h"
#include "mqtt_settings.h"
#include "mqtt_settings_dlg.h"
#include "port_parametrs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::AnswerMessage;
using test::WhenModal;

class MqttDialog : public ::testing::Test {
protected:
    TMqttSettings Stored() const
    {
        TConfigStore store(path);
        return LoadMqttSettings(store);
    }
    QTemporaryDir dir;
    QString path = dir.filePath("Karvel_net.reg");
};

TEST_F(MqttDialog, AStoreWithoutSettingsShowsTheDefaultsOffAndTheLinkState)
{
    TMqttSettingsDlg dialog(path);
    dialog.StatusText = [] { return QStringLiteral("MQTT: выключено"); };
    ASSERT_TRUE(dialog.ShowData());
    EXPECT_EQ(dialog.FromControls(), TMqttSettings {});
    EXPECT_FALSE(dialog.Host()->isEnabled());
    EXPECT_FALSE(dialog.CaFile()->isEnabled());
    EXPECT_EQ(dialog.Status()->text(), QStringLiteral("MQTT: выключено"));
    dialog.Enabled()->setChecked(true);
    EXPECT_TRUE(dialog.Host()->isEnabled());
    EXPECT_FALSE(dialog.CaFile()->isEnabled()); // only with TLS
    dialog.Tls()->setChecked(true);
    EXPECT_TRUE(dialog.CaFile()->isEnabled());
}

TEST_F(MqttDialog, SettingsThatCannotWorkAreNamedAndNothingIsStored)
{
    TMqttSettingsDlg dialog(path);
    QString message;
    WhenModal([&](QWidget*) {
        dialog.Enabled()->setChecked(true);
        dialog.Tls()->setChecked(true); // without a CA file
        AnswerMessage(&message, &dialog);
        dialog.SaveButton()->click();
        dialog.reject();
    });
    EXPECT_FALSE(dialog.Run());
    EXPECT_EQ(message, QStringLiteral("Для TLS укажите файл сертификата центра сертификации"));
    EXPECT_EQ(Stored(), TMqttSettings {});
}

TEST_F(MqttDialog, SavedFromTheCommunicationParametersWindowAndTheMqttSideIsRestarted)
{
    TPortParametrs window(path);
    int restarts = 0;
    window.MqttSaved = [&] { ++restarts; };
    window.MqttStatus = [] { return QStringLiteral("MQTT: подключено к 127.0.0.1:1883"); };
    QString status;
    WhenModal([&](QWidget*) {
        WhenModal(
            [&](QWidget* w) {
                auto* dialog = qobject_cast<TMqttSettingsDlg*>(w);
                ASSERT_NE(dialog, nullptr);
                status = dialog->Status()->text();
                dialog->Enabled()->setChecked(true);
                dialog->Host()->setText(" broker.plant ");
                dialog->Port()->setValue(8883);
                dialog->User()->setText("station-1");
                dialog->Password()->setText("pw");
                dialog->Prefix()->setText("plant/karvel");
                dialog->SaveButton()->click();
            },
            &window);
        window.MqttButton()->click();
        window.CancelButton()->click();
    });
    EXPECT_FALSE(window.Run()); // the window itself was cancelled
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(status, QStringLiteral("MQTT: подключено к 127.0.0.1:1883"));
    TMqttSettings expected;
    expected.enabled = true;
    expected.host = "broker.plant";
    expected.port = 8883;
    expected.user = "station-1";
    expected.password = "pw";
    expected.topicPrefix = "plant/karvel";
    EXPECT_EQ(Stored(), expected);
}

} // namespace
} // namespace karvel
