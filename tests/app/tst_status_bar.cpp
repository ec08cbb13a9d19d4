// The status bar beyond its three panels: the connection state in words, the first-start
// line on the Messages page and the short life of "Done.".
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "app/frm_lumora.h"
#include "app/taskbar_indicator.h"
#include "link/device_image.h"
#include "window_fixture.h"

class TstStatusBar : public QObject {
    Q_OBJECT
private slots:
    void init() { resetDeviceImage(); }
    void cleanup() { w.reset(); }

    void connectionInWords_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("notConnected");
        QTest::addColumn<QString>("connected");
        QTest::newRow("english") << "-english" << "Not connected" << "Connected to COM5";
        QTest::newRow("german") << "-german" << "Nicht verbunden" << "Verbunden mit COM5";
    }
    void connectionInWords()
    {
        QFETCH(QString, language);
        QFETCH(QString, notConnected);
        QFETCH(QString, connected);
        w = makeWindow({language});
        QCOMPARE(w->lblConnection->text(), notConnected);
        QCOMPARE(w->lblConnection->toolTip(), w->lblConnection->text());
        QCOMPARE(w->taskbar->toolTip(), w->lblConnection->text());
        w->PortName = QStringLiteral("COM5 (Simulated)");
        w->SetConnected(true);
        QCOMPARE(w->lblConnection->text(), connected);
        // The tool tip adds the whole port entry.
        QCOMPARE(w->lblConnection->toolTip(), connected + u'\n' + w->PortName);
        w->SetConnected(false);
        QCOMPARE(w->lblConnection->text(), notConnected);
    }

    void firstStartLeadsToConnectTo()
    {
        w = makeWindow({"-english"});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsMessages"));
        QVERIFY(w->btnConnectHint->isVisible());
        QVERIFY(w->btnConnectHint->text().contains(QStringLiteral("Connection \u2192 Connect to")));
        QMenu *connection = w->action(QStringLiteral("mnuConnection"))->menu();
        QTest::mouseClick(w->btnConnectHint, Qt::LeftButton);
        QTRY_VERIFY(connection->isVisible());
        QCOMPARE(connection->activeAction(), w->action(QStringLiteral("mnuConnect")));
        connection->close();
        w->menuBar()->setActiveAction(nullptr);
        // Once connected, the line has done its work.
        w->SetConnected(true);
        QVERIFY(!w->btnConnectHint->isVisible());
        w->SetConnected(false);
        QVERIFY(!w->btnConnectHint->isVisible());
    }

    void noHintWithAPort()
    {
        // A port on the command line: the link starts at once, no first-start line.
        w = makeWindow({"-english", "/dev/aq-no-such-port"});
        QVERIFY(w->btnConnectHint->isHidden());
        w->StopLink();
    }

    void doneGoesAwayOtherStatusStays()
    {
        w = makeWindow({"-english"});
        w->DoneStatusMs = 20;
        w->SetStatusText(QStringLiteral("Done."));
        QCOMPARE(w->sbPanel[0]->text(), QStringLiteral("Done."));
        QTRY_VERIFY(w->sbPanel[0]->text().isEmpty());
        // A later status replaces "Done." before its time is up and stays.
        w->SetStatusText(QStringLiteral("Done."));
        w->SetStatusText(QStringLiteral("Disconnected from COM5"));
        QTest::qWait(100);
        QCOMPARE(w->sbPanel[0]->text(), QStringLiteral("Disconnected from COM5"));
        QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("] Disconnected from COM5")));
    }

private:
    std::unique_ptr<TfrmLumora> w;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstStatusBar test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_status_bar.moc"
