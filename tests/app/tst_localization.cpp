// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Lookups, formatting, colour names, the language choice, and the application of the
// [frmLumora] captions to a small window shaped like the real one.
#include "app/load_language.h"
#include "presentation/localization.h"
#include "widgets/widgets.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <atomic>
#include <climits>
#include <memory>
#include <thread>
#include <vector>

namespace {

template <typename T>
T *add(QWidget *parent, const QString &name)
{
    auto *w = new T(parent);
    w->setObjectName(name);
    parent->layout()->addWidget(w);
    return w;
}

LabeledEdit *addEdit(QWidget *parent, const QString &name)
{
    auto *edit = new LabeledEdit(name, parent);
    parent->layout()->addWidget(edit);
    return edit;
}

QAction *addAction(QMenu *menu, const QString &name, const QKeySequence &shortcut = {})
{
    QAction *a = menu->addAction(QStringLiteral("?"));
    a->setObjectName(name);
    a->setShortcut(shortcut);
    return a;
}

QWidget *addPage(QTabWidget *tabs, const QString &name)
{
    auto *page = new QWidget;
    page->setObjectName(name);
    new QVBoxLayout(page);
    tabs->addTab(page, QStringLiteral("?"));
    return page;
}

// The components the loader treats specially, a few ordinary ones, and some of the
// wrong kind for their keys.
struct TestWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QTabWidget *pc;
    QPlainTextEdit *mem;

    explicit TestWindow(const QStringList &logged = {})
    {
        auto *layout = new QVBoxLayout(window.get());
        auto *bar = new QMenuBar(window.get());
        layout->setMenuBar(bar);
        QMenu *connection = bar->addMenu(QStringLiteral("?"));
        connection->setObjectName(QStringLiteral("mnuConnection"));
        addAction(connection, QStringLiteral("mnuDisconnect"), QKeySequence(QStringLiteral("Ctrl+D")));
        auto *chart = new QMenu(window.get());
        addAction(chart, QStringLiteral("mnuCHMTempWater"));
        addAction(chart, QStringLiteral("mnuCHMVoltage"));

        pc = add<QTabWidget>(window.get(), QStringLiteral("pc"));
        QWidget *channelPages[] = {addPage(pc, QStringLiteral("tsChannels")),
                                   addPage(pc, QStringLiteral("tsChannelsGL"))};
        for (int i = 0; i < 12; ++i) {
            add<QLabel>(channelPages[i / 6], QStringLiteral("lblName%1").arg(i));
            add<QPushButton>(channelPages[i / 6], QStringLiteral("btnOff%1").arg(i));
            add<QPushButton>(channelPages[i / 6], QStringLiteral("btnOn%1").arg(i));
        }
        QWidget *expert = addPage(pc, QStringLiteral("tsExpert"));
        pc->setTabVisible(pc->indexOf(expert), false);
        add<QRadioButton>(expert, QStringLiteral("rbtCHMTempWater"));
        add<QRadioButton>(expert, QStringLiteral("rbtCHMVoltage"));
        addEdit(expert, QStringLiteral("edtCloudTempWater"));
        addEdit(expert, QStringLiteral("edtCloudStep"));
        // A labelled edit known only by a dynamic property.
        add<QWidget>(expert, QStringLiteral("edtLightningP"))->setProperty("caption", QString());
        add<QComboBox>(expert, QStringLiteral("cmbLanguage"));
        add<QPushButton>(expert, QStringLiteral("btnNow"));
        add<QGroupBox>(expert, QStringLiteral("gbxStorm"));
        add<QPlainTextEdit>(expert, QStringLiteral("memDescription"))->setPlainText(QStringLiteral("old"));
        // Wrong kinds: a plain edit has no caption, a line edit is no group box, and a
        // widget outside the page control is no page.
        add<QLineEdit>(expert, QStringLiteral("edtLat"))->setText(QStringLiteral("50.1"));
        add<QLineEdit>(expert, QStringLiteral("gbxFan"))->setText(QStringLiteral("keep"));
        add<QWidget>(window.get(), QStringLiteral("tsGeo"));
        mem = add<QPlainTextEdit>(addPage(pc, QStringLiteral("tsMessages")), QStringLiteral("mem"));
        for (const QString &line : logged)
            mem->appendPlainText(line);
    }

    template <typename T = QWidget>
    T *get(const QString &name) const { return window->findChild<T *>(name); }
    QString tab(const QString &page) const { return pc->tabText(pc->indexOf(get(page))); }
};

} // namespace

class TestLocalization : public QObject {
    Q_OBJECT

private slots:
    void init() { LoadLanguageTable(LanguageEnglish); }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected"); // value of [Messages] "A", or "-" when absent
        QTest::newRow("plain") << QByteArray("[Messages]\nA=x\n") << "x";
        QTest::newRow("CR LF, BOM") << QByteArray("\xEF\xBB\xBF[Messages]\r\nA=x\r\n") << "x";
        QTest::newRow("trimmed") << QByteArray(" [Messages] \n  A  =  x y  \n") << "x y";
        QTest::newRow("equals in value") << QByteArray("[Messages]\nA=a=b\n") << "a=b";
        QTest::newRow("first wins") << QByteArray("[Messages]\nA=1\na=2\n") << "1";
        QTest::newRow("sections merge") << QByteArray("[messages]\nB=1\n[X]\nA=0\n[Messages]\nA=x\n") << "x";
        QTest::newRow("comment, junk") << QByteArray("A=0\n[Messages]\n;A=1\njunk\n=y\nA=x") << "x";
        QTest::newRow("empty value") << QByteArray("[Messages]\nA=\n") << "";
        QTest::newRow("no section") << QByteArray("A=x\n") << "-";
        QTest::newRow("quotes kept") << QByteArray("[Messages]\nA= \"x\" \n") << "\"x\"";
        QTest::newRow("UTF-8") << QByteArray("[Messages]\nA=\xC3\xA4\n") << "ä";
        // Read as the settings files are: a lone CR ends a line too, and a header is the
        // name up to its "]".
        QTest::newRow("CR line ends") << QByteArray("[Messages]\rA=x\r") << "x";
        QTest::newRow("text after header") << QByteArray("[Messages] ; texts\nA=x\n") << "x";
        QTest::newRow("binary") << QByteArray("\xFF\xFE\0[\0", 5) << "-";
    }
    void parse()
    {
        QFETCH(QByteArray, text);
        QTEST(LanguageTable::parse(text).value(QStringLiteral("Messages"), QStringLiteral("A"),
                                               QStringLiteral("-")), "expected");
    }

    void formatText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("filled") << "Connected to %s on %s" << QStringList{"X", "COM5"} << "Connected to X on COM5";
        QTest::newRow("no args keeps %s") << "Connecting to %s..." << QStringList{} << "Connecting to %s...";
        QTest::newRow("too few") << "Connected to %s on %s" << QStringList{"X"} << "Connected to %s on %s";
        QTest::newRow("extra ignored") << "Detected %s:" << QStringList{"a", "b"} << "Detected a:";
        QTest::newRow("percent pair") << "100%% of %s" << QStringList{"x"} << "100% of x";
        QTest::newRow("escaped s") << "%%s" << QStringList{"x"} << "%s";
        QTest::newRow("pair kept on failure") << "%% %s" << QStringList{} << "%% %s";
        QTest::newRow("%d") << "Count %d" << QStringList{"5"} << "Count %d";
        QTest::newRow("%n") << "%n%n%n" << QStringList{"5"} << "%n%n%n";
        QTest::newRow("lone percent") << "Bright level (%)" << QStringList{} << "Bright level (%)";
        QTest::newRow("trailing percent") << "%s 50%" << QStringList{"a"} << "%s 50%";
        QTest::newRow("argument not rescanned") << "%s and %s" << QStringList{"%s", "b"} << "%s and b";
        QTest::newRow("non-ASCII") << "Füge \"%s\" hinzu..." << QStringList{"Gerät"} << "Füge \"Gerät\" hinzu...";
    }
    void formatText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, args);
        QTEST(FormatText(text, args), "expected");
    }

    void translate_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("keeps placeholder") << 0 << "ConnectingTo" << QStringList{} << "Connecting to %s...";
        QTest::newRow("filled") << 0 << "ConnectingTo" << QStringList{"COM5"} << "Connecting to COM5...";
        QTest::newRow("missing key") << 0 << "NoSuchKey" << QStringList{} << "NoSuchKey";
        QTest::newRow("key case") << 0 << "connectingto" << QStringList{"A"} << "Connecting to A...";
        QTest::newRow("caption is no message") << 0 << "mem.Caption" << QStringList{} << "mem.Caption";
        QTest::newRow("german") << 1 << "ConnectedToOn" << QStringList{"Aqualumora", "COM5"}
                                << "Verbunden mit Aqualumora an COM5";
        QTest::newRow("german unknown") << 1 << "NoSuchKey" << QStringList{} << "NoSuchKey";
    }
    void translate()
    {
        QFETCH(int, language);
        QFETCH(QString, key);
        QFETCH(QStringList, args);
        QCOMPARE(LoadLanguageTable(language), language);
        QTEST(TranslateFmt(key, args), "expected");
        if (args.isEmpty())
            QTEST(Translate(key), "expected");
    }

    void lineBreaksExpanded()
    {
        const QString text = TranslateFmt(QStringLiteral("IRLearnDlgText"), {QStringLiteral("Aqualumora")});
        QVERIFY(text.startsWith(QStringLiteral("For this, an IR remote control capable of the RC-5\nstandard")));
        QVERIFY(text.contains(QStringLiteral("While pairing Aqualumora will request")));
        QVERIFY(!text.contains('\\') && !text.contains('\r'));
        QCOMPARE(text.count('\n'), 9);
    }

    void channelLetter()
    {
        QCOMPARE(ChannelLetter(0), QStringLiteral("A"));
        QCOMPARE(ChannelLetter(11), QStringLiteral("L"));
        for (const int bad : {-1, 26, INT_MIN, INT_MAX})
            QCOMPARE(ChannelLetter(bad), QStringLiteral("?"));
    }

    void colors_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::addColumn<uint>("tint");
        QTest::newRow("0") << 0 << "Unnamed" << "Unbenannt" << 0xFFFFFFu;
        QTest::newRow("2") << 2 << "Red" << "Rot" << 0xFF8080u;
        QTest::newRow("10") << 10 << "Purple" << "Pink" << 0xFF80C0u;
        QTest::newRow("11") << 11 << "RoyalBlue" << "Royalblau" << 0xA080FFu;
        QTest::newRow("15") << 15 << "Deep red" << "Tiefrot" << 0xC08080u;
        QTest::newRow("16") << 16 << "Unnamed" << "Unbenannt" << 0xFFFFFFu;
        QTest::newRow("-1") << -1 << "Unnamed" << "Unbenannt" << 0xFFFFFFu;
    }
    void colors()
    {
        QFETCH(int, index);
        QFETCH(uint, tint);
        QTEST(ColorName(index), "english");
        QCOMPARE(ColorTint(index), QColor::fromRgb(QRgb(0xFF000000u | tint)));
        LoadLanguageTable(LanguageGerman);
        QTEST(ColorName(index), "german");
        if (index >= 0 && index < ColorCount)
            QTEST(ColorNames().value(index), "german");
    }

    void chooseLanguage_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("system");
        QTest::addColumn<int>("expected");
        QTest::newRow("undecided, German system") << -1 << int(QLocale::German) << 1;
        QTest::newRow("undecided, French system") << -1 << int(QLocale::French) << 0;
        QTest::newRow("english on German system") << 0 << int(QLocale::German) << 0;
        QTest::newRow("german on English system") << 1 << int(QLocale::English) << 1;
        QTest::newRow("unknown number") << 2 << int(QLocale::German) << 0;
        QTest::newRow("other negative") << -2 << int(QLocale::German) << 0;
    }
    void chooseLanguage()
    {
        QFETCH(int, requested);
        QFETCH(int, system);
        QTEST(ChooseLanguage(requested, QLocale::Language(system)), "expected");
    }

    // main() starts the program with a German system locale. The default locale (number
    // formats) does not decide the language; an explicit choice overrides the system.
    void germanSystem()
    {
        QCOMPARE(QLocale::system().language(), QLocale::German);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(LoadLanguageTable(LanguageUndecided), LanguageGerman);
        QCOMPARE(CurrentLanguage(), LanguageGerman);
        QCOMPARE(Translate(QStringLiteral("Started")), QStringLiteral("gestartet"));
        QCOMPARE(LoadLanguageTable(LanguageEnglish), LanguageEnglish);
        QCOMPARE(Translate(QStringLiteral("Started")), QStringLiteral("started"));
        QLocale::setDefault(QLocale::c());
    }

    // Worker threads translate while the table is replaced: each lookup sees one whole table.
    void lookupsWhileReloading()
    {
        std::atomic<bool> stop{false};
        std::atomic<int> wrong{0};
        std::vector<std::thread> workers;
        for (int t = 0; t < 3; ++t) {
            workers.emplace_back([&] {
                while (!stop) {
                    const QString s = TranslateFmt(QStringLiteral("ConnectedTo"), {QStringLiteral("X")});
                    if (s != QLatin1String("Connected to X") && s != QLatin1String("Verbunden mit X"))
                        ++wrong;
                }
            });
        }
        for (int i = 0; i < 40; ++i)
            LoadLanguageTable(i % 2);
        stop = true;
        for (auto &w : workers)
            w.join();
        QCOMPARE(wrong.load(), 0);
    }

    void loadLanguage_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("texts"); // lblName0, lblName11, the two pages, btnOn7, mnuConnection
        QTest::addColumn<QStringList>("languages");
        const QStringList english{"Label for channel A", "Label for channel L", "Channels A-F",
                                  "Channels G-L", "ON", "&Connection"};
        QTest::newRow("english") << 0 << 0 << english << QStringList{"English", "German"};
        QTest::newRow("german") << 1 << 1
                                << QStringList{"Bezeichnung für Kanal A", "Bezeichnung für Kanal L",
                                               "Kanäle A-F", "Kanäle G-L", "EIN", "&Verbindung"}
                                << QStringList{"Englisch", "Deutsch"};
        QTest::newRow("unknown number") << 7 << 0 << english << QStringList{"English", "German"};
    }
    void loadLanguage()
    {
        QFETCH(int, requested);
        QFETCH(int, language);
        TestWindow w;
        auto *cmbLanguage = w.get<QComboBox>(QStringLiteral("cmbLanguage"));
        QSignalSpy changes(cmbLanguage, &QComboBox::currentIndexChanged);

        LoadLanguage(w.window.get(), requested);

        QCOMPARE(CurrentLanguage(), language);
        QTEST(QStringList({w.get<QLabel>(QStringLiteral("lblName0"))->text(),
                           w.get<QLabel>(QStringLiteral("lblName11"))->text(),
                           w.tab(QStringLiteral("tsChannels")), w.tab(QStringLiteral("tsChannelsGL")),
                           w.get<QPushButton>(QStringLiteral("btnOn7"))->text(),
                           w.get<QMenu>(QStringLiteral("mnuConnection"))->title()}),
              "texts");
        QCOMPARE(w.get<QPushButton>(QStringLiteral("btnOff11"))->text(), Translate(QStringLiteral("OFF")));
        QStringList items;
        for (int i = 0; i < cmbLanguage->count(); ++i)
            items.append(cmbLanguage->itemText(i));
        QTEST(items, "languages");
        QCOMPARE(cmbLanguage->currentIndex(), language);
        QCOMPARE(changes.count(), 0);

        const QString water = w.get<QRadioButton>(QStringLiteral("rbtCHMTempWater"))->text();
        QCOMPARE(water, language ? QStringLiteral("Wassertemperatur (Thermavis)")
                                 : QStringLiteral("Water temperature (Thermavis)"));
        QCOMPARE(w.get<QAction>(QStringLiteral("mnuCHMTempWater"))->text(), water);
        QCOMPARE(w.get<QAction>(QStringLiteral("mnuCHMVoltage"))->text(),
                 w.get<QRadioButton>(QStringLiteral("rbtCHMVoltage"))->text());
        QCOMPARE(w.get<LabeledEdit>(QStringLiteral("edtCloudTempWater"))->caption(), water);
    }

    // The caption ends in two line breaks: one blank line parts it from the log lines,
    // whether they were logged before it or come after.
    void logCaptionGoesFirst_data()
    {
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("empty log") << QStringList{};
        QTest::newRow("two lines") << QStringList{"[1.1.26 10:00:00] Parameter: -debug", "[1.1.26 10:00:00] b"};
    }
    void logCaptionGoesFirst()
    {
        QFETCH(QStringList, logged);
        TestWindow w(logged);
        LoadLanguage(w.window.get(), LanguageEnglish);
        w.mem->appendPlainText(QStringLiteral("later"));
        const QStringList lines = w.mem->toPlainText().split('\n');
        QVERIFY(lines.first().startsWith(QStringLiteral("IMPORTANT: BEFORE POWERON")));
        const qsizetype last = lines.indexOf(QStringLiteral(
            "remove the jumper! Please do not put the jumper into any position other than the described one."));
        QVERIFY(last > 0);
        QCOMPARE(lines.mid(last + 1), QStringList{QString()} + logged + QStringList{"later"});
    }

    void componentKinds()
    {
        TestWindow w;
        LoadLanguage(w.window.get(), LanguageEnglish);
        auto *disconnect = w.get<QAction>(QStringLiteral("mnuDisconnect"));
        QCOMPARE(disconnect->text(), QStringLiteral("Disconnect"));
        QCOMPARE(disconnect->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
        QCOMPARE(w.get<QPushButton>(QStringLiteral("btnNow"))->toolTip(), QStringLiteral("Set current time and date"));
        QCOMPARE(w.get<QGroupBox>(QStringLiteral("gbxStorm"))->title(), QStringLiteral("Thunderstorms"));
        QCOMPARE(w.tab(QStringLiteral("tsExpert")), QStringLiteral("Expert options"));
        auto *step = w.get<LabeledEdit>(QStringLiteral("edtCloudStep"));
        QCOMPARE(step->caption(), QStringLiteral("Dimming speed"));
        QCOMPARE(step->edit()->toolTip(), QStringLiteral("The higher the quicker the brightness changes"));
        QWidget *lightning = w.get(QStringLiteral("edtLightningP"));
        QCOMPARE(lightning->property("caption").toString(), QStringLiteral("Lightning frequency"));
        QVERIFY(lightning->toolTip().startsWith(QStringLiteral("The higher the more frequently")));
        const QString description = w.get<QPlainTextEdit>(QStringLiteral("memDescription"))->toPlainText();
        QVERIFY(description.startsWith(QStringLiteral("Column \"Time\" is used in mode \"Auto\"")));
        QVERIFY(description.contains(QStringLiteral("\n00:00 = begin of the day,\n")) && !description.contains("old"));
        // Wrong kinds keep what they had; a plain edit still takes its hint.
        auto *lat = w.get<QLineEdit>(QStringLiteral("edtLat"));
        QCOMPARE(lat->text(), QStringLiteral("50.1"));
        QCOMPARE(lat->toolTip(), QStringLiteral("positive: north, negative: south"));
        QCOMPARE(w.get<QLineEdit>(QStringLiteral("gbxFan"))->text(), QStringLiteral("keep"));

        const QStringList unresolved = UnresolvedLanguageKeys(w.window.get());
        for (const char *key : {"btnUpload.Caption", "edtLat.Caption", "gbxFan.Caption", "tsGeo.Caption"})
            QVERIFY2(unresolved.contains(QLatin1String(key)), key);
        for (const char *key : {"mem.Caption", "tsChannels.Caption", "edtLat.Hint", "mnuConnection.Caption",
                                "mnuDisconnect.Caption", "edtCloudStep.Hint", "edtLightningP.Caption"})
            QVERIFY2(!unresolved.contains(QLatin1String(key)), key);
    }

    void malformedEntriesAreSkipped()
    {
        TestWindow w;
        ApplyCaptions(w.window.get(), {{"btnNow", "no property"}, {"btnNow.Text", "unknown"},
                                       {".Caption", "no name"}, {"btnMissing.Caption", "missing"},
                                       {"cmbLanguage.Caption", "hints only"}, {"cmbLanguage.Hint", "hint"},
                                       {"gbxStorm.Caption", "Line 1\\nLine 2"}});
        ApplyCaptions(nullptr, {{"btnNow.Caption", "x"}});
        QCOMPARE(w.get<QPushButton>(QStringLiteral("btnNow"))->text(), QString());
        QCOMPARE(w.get<QComboBox>(QStringLiteral("cmbLanguage"))->toolTip(), QStringLiteral("hint"));
        QCOMPARE(w.get<QGroupBox>(QStringLiteral("gbxStorm"))->title(), QStringLiteral("Line 1\nLine 2"));
        QCOMPARE(UnresolvedLanguageKeys(nullptr).size(), FormCaptionEntries().size());
    }

    // Components of the kinds their name prefixes stand for leave no key of either table
    // unresolved, except the two buttons the window does not have.
    void everyKeyFitsItsConventionalKind_data() { QTest::addColumn<int>("language"); QTest::newRow("en") << 0; QTest::newRow("de") << 1; }
    void everyKeyFitsItsConventionalKind()
    {
        QFETCH(int, language);
        LoadLanguageTable(language);
        QWidget window;
        new QVBoxLayout(&window);
        auto *tabs = add<QTabWidget>(&window, QStringLiteral("pc"));
        auto *menu = new QMenu(&window);
        for (const auto &entry : FormCaptionEntries()) {
            const QString name = entry.key.section('.', 0, 0);
            const QString prefix = name.left(3);
            if (window.findChild<QObject *>(name) || name == "btnUpload" || name == "btnDownload")
                continue;
            if (name.startsWith(QLatin1String("ts")))
                addPage(tabs, name);
            else if (prefix == "mnu")
                addAction(menu, name);
            else if (prefix == "lbl")
                add<QLabel>(&window, name);
            else if (prefix == "btn" || prefix == "cbx" || prefix == "rbt")
                add<QRadioButton>(&window, name);
            else if (prefix == "gbx")
                add<QGroupBox>(&window, name);
            else if (prefix == "edt")
                addEdit(&window, name);
            else if (prefix == "mem")
                add<QPlainTextEdit>(&window, name);
        }
        QCOMPARE(UnresolvedLanguageKeys(&window), QStringList({"btnUpload.Caption", "btnDownload.Caption"}));
    }
};

// The system locale is read once, when the application starts: a German one is set
// before that so that the choice by system language can be tested.
int main(int argc, char **argv)
{
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    TestLocalization test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_localization.moc"
