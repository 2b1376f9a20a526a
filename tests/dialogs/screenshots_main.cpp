// Draws each settings dialog with sample contents into PNG files, to look at them as an
// operator would: dialogs_screenshots OUTPUT_DIR (run under a real or virtual X server).
#include "config_keys.h"
#include "config_store.h"
#include "doz_struct_par.h"
#include "form_edit_line.h"
#include "password_dlg.h"
#include "port_parametrs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

using namespace karvel;

void Save(QWidget& w, const QString& file)
{
    w.show();
    w.raise();
    w.activateWindow();
    // Let the window map and paint before it is grabbed.
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    if (!w.grab().save(file))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    w.hide();
}

void WriteSampleStore(const QString& path)
{
    TConfigStore store(path);
    const QStringList products = {"Пшеница", "Ячмень", "Рожь", "Овёс", "Кукуруза"};
    for (int line = 1; line <= kLines; ++line) {
        store.WriteBool(LineKey(line), "TerminalType", false);
        for (int slot = 1; slot <= kSlots; ++slot) {
            const bool used = line == 1 && slot <= products.size();
            store.WriteInteger(LineKey(line), QString("NetNum%1").arg(slot), used ? slot + 4 : 0);
            store.WriteString(LineKey(line), QString("NameP%1").arg(slot),
                              used ? products[slot - 1] : DefaultProductName(slot));
        }
    }
    TPortParamValues values;
    values.port = {0, 2, -1, -1};
    values.speed = {1, 0, -1, -1};
    values.soundStop = true;
    values.soundMode = false;
    values.soundFileName = "/home/operator/Сигналы/alarm.wav";
    values.logWr = true;
    values.rs485 = {false, true, false, false};
    WritePortParam(store, values);
    store.Flush();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Karvel_Net");
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir dir;
    const QString storePath = dir.filePath("Vistam/Karvel_net.reg");
    WriteSampleStore(storePath);

    TPasswordDlg password;
    password.PasswordEdit()->setText("secret");
    Save(password, out + "/password.png");

    TLineList line;
    line.push_back(std::make_unique<TMain_Karvel>(5, "Пшеница", true));
    line.back()->DelDecPoint = 100;
    TDozStructPar dosing([&](int n) -> const TLineList* { return n == 1 ? &line : nullptr; });
    dosing.ParamRequested(1, 0, true);
    TDosageStructure& d = line.back()->DosageStructure;
    d = {5, 50.25, 1.5, 3.7, 0.3, 1200, 12.345};
    QTimer::singleShot(0, [&] {
        dosing.Edit(3)->setText("1,5");
        dosing.WriteButton()->click(); // shows the status bar message
        Save(dosing, out + "/dosing.png");
        dosing.reject();
    });
    dosing.Show(2, 0, d);

    TFormEditLine editor(storePath);
    editor.ShowData();
    Save(editor, out + "/line-editor.png");

    // COM1 linked to an adapter by its stable name; the device list as a machine with two
    // adapters plugged in shows it.
    const QString adapter = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZ3Q1-if00-port0";
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QString error;
    WritePortLink(1, adapter, error);
    TPortParametrs ports(storePath);
    ports.ListDevices = [adapter] {
        return QList<TPortDevice> {
            {adapter,
             "usb-FTDI_FT232R_USB_UART_A10KZ3Q1-if00-port0 (FTDI, № A10KZ3Q1, /dev/ttyUSB0)"},
            {"/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0",
             "usb-1a86_USB_Serial-if00-port0 (QinHeng Electronics, /dev/ttyUSB1)"},
            {"/dev/ttyS0", "/dev/ttyS0"}};
    };
    ports.ShowData();
    Save(ports, out + "/port-params.png");
    return 0;
}
