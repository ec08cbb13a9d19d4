// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware update as the user runs it: menu, warning, file dialog, and the whole update
// of the simulated controller.
#include "link/firmware.h"
#include "app/firmware_commands.h"
#include "sim_fixture.h"
#include "tst_firmware_chx.h"

#include "presentation/localization.h"
#include "app/taskbar_indicator.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>

class tst_FirmwareWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { SetFirmwareTransferOptions({.retryWaitMs = 5}); }
    void dialog_data();
    void dialog();
    void wholeUpdateFromTheMenu();
    void pictures_data() { dialog_data(); }
    void pictures();
};

void tst_FirmwareWindow::dialog_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filter");

    QTest::newRow("English") << "-english" << "Choose Aqualumora 1.x firmware file"
                             << "Aqualumora 1.x firmware (Aqualumora1x*.chx)";
    QTest::newRow("German") << "-german" << QString::fromUtf8("Aqualumora 1.x - Firmwaredatei wählen")
                            << "Aqualumora 1.x - Firmware (Aqualumora1x*.chx)";
}

void tst_FirmwareWindow::dialog()
{
    QFETCH(QString, language);
    QFETCH(QString, title);
    QFETCH(QString, filter);

    auto w = makeWindow({language});
    const FirmwareDialogRequest request = w->firmware->dialogRequest();
    QCOMPARE(request.title, title);
    QCOMPARE(request.filter, filter);
    QVERIFY(!w->ProgramFolder.isEmpty());
    QCOMPARE(request.folder, w->ProgramFolder);
    QCOMPARE(request.fileName, w->ProgramFolder + QStringLiteral("Aqualumora1x5.chx"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("chx"));

    // Cancelled, the page stays; a chosen file brings the message page to the front.
    QString answer;
    w->firmware->OpenFileDialog = [&](const FirmwareDialogRequest &) { return answer; };
    w->SelectPage(w->page(QStringLiteral("tsChannels")));
    QCOMPARE(w->ChooseFirmwareFile(), QString());
    QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsChannels"));
    answer = request.fileName;
    QCOMPARE(w->ChooseFirmwareFile(), request.fileName);
    QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsMessages"));
}

void tst_FirmwareWindow::wholeUpdateFromTheMenu()
{
    auto w = makeConnectedWindow();
    QVERIFY(w);
    SimulatedController &controller = sim(w.get());
    const QString port = w->Simulator()->portPath();

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Aqualumora1x5.chx"));
    const QByteArray data = chx::pattern(0x0000, 0x0FFF);
    QVERIFY(chx::write(file, chx::file(0x0000, 0x0FFF, data)));
    int dialogs = 0;
    w->firmware->OpenFileDialog = [&](const FirmwareDialogRequest &) {
        ++dialogs;
        return file;
    };

    // The warning first; No leaves everything as it is.
    QString text, caption;
    bool yes = false;
    w->ConfirmYesNo = [&](const QString &t, const QString &c) {
        text = t;
        caption = c;
        return yes;
    };
    QAction *item = w->action(QStringLiteral("mnuFirmwareUpdate"));
    item->trigger();
    QCOMPARE(caption, QStringLiteral("Update firmware"));
    QVERIFY(text.startsWith(QStringLiteral("Updating the firmware will happen at your own risk.\nA partially")));
    QVERIFY(text.endsWith(QStringLiteral("(including the fan speeds).\n\nProceed?")));
    QVERIFY(!w->model().isRequestPending(FirmwareUpdate));

    yes = true;
    item->trigger();
    const QString inBootloader = QStringLiteral("Connected to Aqualumora bootloader on ") + port;
    const QString success = QStringLiteral("Firmware successfully updated. Remove jumper (if set)!");
    const QString identified = QStringLiteral("Connected to Aqualumora 1.x.5 on ") + port;
    const auto log = [&] { return w->mem->toPlainText(); };
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(success), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(log().indexOf(identified, log().indexOf(success)) > 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(w->IsConnected(), 10000);

    // In this order: bootloader, file, blocks, restart, result, firmware again.
    const QString all = log();
    qsizetype at = 0;
    for (const QString &step : {inBootloader, file + u' ', QStringLiteral("Flash size: 4095 / 31744 bytes"),
                                QStringLiteral("Starting firmware update, flashing 4096 bytes..."),
                                QStringLiteral("0x0000 (0 %)"), QStringLiteral("0x0FC0 (98 %)"),
                                QStringLiteral("Resetting..."), success, identified}) {
        const qsizetype next = all.indexOf(step, at);
        QVERIFY2(next >= 0, qPrintable(step));
        at = next;
    }
    QCOMPARE(dialogs, 1);
    QCOMPARE(controller.commandCount("7F00"), 1);
    QCOMPARE(controller.commandCount("BL02"), 64);
    QCOMPARE(controller.flashImage().left(data.size()), data);
    QVERIFY(!w->model().isRequestPending(FirmwareUpdate));
    // The download that follows the reconnection moves the bar again; it ends full.
    QTRY_COMPARE_WITH_TIMEOUT(w->taskbar->done(), w->taskbar->total(), 10000);
}

void tst_FirmwareWindow::pictures()
{
    QFETCH(QString, language);
    auto w = makeWindow({language});
    // The warning as the window asks it, and the file dialog.
    const std::unique_ptr<QMessageBox> box(TfrmLumora::CreateConfirmBox(
        w.get(), Translate(QStringLiteral("FlashDlgText")), Translate(QStringLiteral("FlashDlgCaption"))));
    savePicture(box.get(), box->sizeHint(), QStringLiteral("firmware-warning") + language);
    const std::unique_ptr<QFileDialog> dialog(CreateFirmwareFileDialog(w.get(), w->firmware->dialogRequest()));
    savePicture(dialog.get(), dialog->sizeHint(), QStringLiteral("firmware-dialog") + language);
}

QTEST_MAIN(tst_FirmwareWindow)
#include "tst_firmware_window.moc"
