// Lookups, formatting, colour names, the language choice, and the application of the
// [frmLumora] captions to a small window shaped like the real one.
#include "app/load_language.h"
#include "app/localization.h"

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

// Stands in for the window's labelled edit: a caption property and a setHint the
// language loader can reach through the meta-object system.
class CaptionedEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    using QWidget::QWidget;
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }
    Q_INVOKABLE void setHint(const QString &hint) { m_hint = hint; }
    QString hint() const { return m_hint; }

private:
    QString m_caption;
    QString m_hint;
};

namespace {

template <typename T>
T *add(QWidget *parent, const QString &name)
{
    auto *w = new T(parent);
    w->setObjectName(name);
    if (parent->layout())
        parent->layout()->addWidget(w);
    return w;
}

QAction *addAction(QMenu *menu, const QString &name, const QKeySequence &shortcut = {})
{
    auto *a = menu->addAction(QStringLiteral("?"));
    a->setObjectName(name);
    a->setShortcut(shortcut);
    return a;
}

// The parts of the main window that the loader treats specially, plus a few
// components of the wrong kind.
struct TestWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QTabWidget *pc = nullptr;
    QPlainTextEdit *mem = nullptr;

    explicit TestWindow(const QStringList &logged = {})
    {
        window->setObjectName(QStringLiteral("frmLumora"));
        auto *layout = new QVBoxLayout(window.get());
        auto *bar = new QMenuBar(window.get());
        layout->setMenuBar(bar);
        auto *connection = bar->addMenu(QStringLiteral("?"));
        connection->setObjectName(QStringLiteral("mnuConnection"));
        addAction(connection, QStringLiteral("mnuDisconnect"), QKeySequence(QStringLiteral("Ctrl+D")));
        auto *chart = new QMenu(window.get());
        chart->setObjectName(QStringLiteral("pumChart"));
        addAction(chart, QStringLiteral("mnuCHMTempWater"));
        addAction(chart, QStringLiteral("mnuCHMVoltage"));

        pc = add<QTabWidget>(window.get(), QStringLiteral("pc"));
        QWidget *pages[2];
        const char *pageNames[2] = {"tsChannels", "tsChannelsGL"};
        for (int p = 0; p < 2; ++p) {
            pages[p] = new QWidget;
            pages[p]->setObjectName(QLatin1String(pageNames[p]));
            new QVBoxLayout(pages[p]);
            pc->addTab(pages[p], QStringLiteral("?"));
        }
        for (int i = 0; i < 12; ++i) {
            QWidget *page = pages[i / 6];
            add<QLabel>(page, QStringLiteral("lblName%1").arg(i));
            add<QPushButton>(page, QStringLiteral("btnOff%1").arg(i));
            add<QPushButton>(page, QStringLiteral("btnOn%1").arg(i));
        }

        auto *expert = new QWidget;
        expert->setObjectName(QStringLiteral("tsExpert"));
        new QVBoxLayout(expert);
        pc->addTab(expert, QStringLiteral("?"));
        pc->setTabVisible(pc->indexOf(expert), false);
        add<QRadioButton>(expert, QStringLiteral("rbtCHMTempWater"));
        add<QRadioButton>(expert, QStringLiteral("rbtCHMVoltage"));
        add<CaptionedEdit>(expert, QStringLiteral("edtCloudTempWater"));
        add<CaptionedEdit>(expert, QStringLiteral("edtCloudStep"));
        // A labelled edit known only by a dynamic property.
        add<QWidget>(expert, QStringLiteral("edtLightningP"))->setProperty("caption", QString());
        add<QComboBox>(expert, QStringLiteral("cmbLanguage"));
        add<QPushButton>(expert, QStringLiteral("btnNow"));
        add<QGroupBox>(expert, QStringLiteral("gbxStorm"));
        // Wrong kinds: a plain edit has no caption, a line edit is no group box, and a
        // widget outside the page control is no page.
        add<QLineEdit>(expert, QStringLiteral("edtLat"))->setText(QStringLiteral("50.1"));
        add<QLineEdit>(expert, QStringLiteral("gbxFan"))->setText(QStringLiteral("keep"));
        add<QWidget>(window.get(), QStringLiteral("tsGeo"));
        add<QPlainTextEdit>(expert, QStringLiteral("memDescription"))->setPlainText(QStringLiteral("old"));

        auto *messages = new QWidget;
        messages->setObjectName(QStringLiteral("tsMessages"));
        new QVBoxLayout(messages);
        pc->addTab(messages, QStringLiteral("?"));
        mem = add<QPlainTextEdit>(messages, QStringLiteral("mem"));
        for (const QString &line : logged)
            mem->appendPlainText(line);
    }

    template <typename T>
    T *get(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    QString tab(const QString &page) const { return pc->tabText(pc->indexOf(get<QWidget>(page))); }
};

} // namespace

class TestLocalization : public QObject {
    Q_OBJECT

private slots:
    void init() { LoadLanguageTable(LanguageEnglish); }

    void formatText_data();
    void formatText();
    void translate_data();
    void translate();
    void lineBreaksExpanded();
    void channelLetter_data();
    void channelLetter();
    void colorNames_data();
    void colorNames();
    void colorTint_data();
    void colorTint();
    void chooseLanguage_data();
    void chooseLanguage();
    void germanSystem();
    void lookupsWhileReloading();

    void loadLanguage_data();
    void loadLanguage();
    void logCaptionGoesAboveEarlierLines_data();
    void logCaptionGoesAboveEarlierLines();
    void componentKinds();
    void malformedEntriesAreSkipped();
    void unresolvedKeys();
    void everyKeyFitsItsConventionalKind();
};

void TestLocalization::formatText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("filled") << "Connecting to %s..." << QStringList{"COM5"} << "Connecting to COM5...";
    QTest::newRow("no args keeps %s") << "Connecting to %s..." << QStringList{} << "Connecting to %s...";
    QTest::newRow("too few") << "Connected to %s on %s" << QStringList{"X"} << "Connected to %s on %s";
    QTest::newRow("two") << "Connected to %s on %s" << QStringList{"X", "COM5"} << "Connected to X on COM5";
    QTest::newRow("extra ignored") << "Detected %s:" << QStringList{"a", "b"} << "Detected a:";
    QTest::newRow("no placeholder") << "Done." << QStringList{"a"} << "Done.";
    QTest::newRow("empty") << "" << QStringList{} << "";
    QTest::newRow("percent pair") << "100%% of %s" << QStringList{"x"} << "100% of x";
    QTest::newRow("percent pair alone") << "50%%" << QStringList{} << "50%";
    QTest::newRow("escaped s") << "%%s" << QStringList{"x"} << "%s";
    QTest::newRow("pair kept on failure") << "%% %s" << QStringList{} << "%% %s";
    QTest::newRow("%d") << "Count %d" << QStringList{"5"} << "Count %d";
    QTest::newRow("%n") << "%n%n%n" << QStringList{"5"} << "%n%n%n";
    QTest::newRow("%S") << "%S" << QStringList{"5"} << "%S";
    QTest::newRow("lone percent") << "Bright level (%)" << QStringList{} << "Bright level (%)";
    QTest::newRow("trailing percent") << "%s 50%" << QStringList{"a"} << "%s 50%";
    QTest::newRow("argument not rescanned") << "%s and %s" << QStringList{"%s", "b"} << "%s and b";
    QTest::newRow("argument with %%") << "[%s]" << QStringList{"%%d"} << "[%%d]";
    QTest::newRow("non-ASCII") << "Füge \"%s\" hinzu..." << QStringList{"Gerät"} << "Füge \"Gerät\" hinzu...";
}

void TestLocalization::formatText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QCOMPARE(FormatText(text, args), expected);
}

void TestLocalization::translate_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("keeps placeholder") << 0 << "ConnectingTo" << QStringList{} << "Connecting to %s...";
    QTest::newRow("filled") << 0 << "ConnectingTo" << QStringList{"COM5"} << "Connecting to COM5...";
    QTest::newRow("missing key") << 0 << "NoSuchKey" << QStringList{} << "NoSuchKey";
    QTest::newRow("missing key, args") << 0 << "NoSuchKey" << QStringList{"x"} << "NoSuchKey";
    QTest::newRow("empty key") << 0 << "" << QStringList{} << "";
    QTest::newRow("key case") << 0 << "connectingto" << QStringList{"A"} << "Connecting to A...";
    QTest::newRow("quotes and two args") << 0 << "WindowsError" << QStringList{"5", "Access denied"}
                                         << "Windows error 5: \"Access denied\".";
    QTest::newRow("frmLumora not a message") << 0 << "mem.Caption" << QStringList{} << "mem.Caption";
    QTest::newRow("german") << 1 << "ConnectedToOn" << QStringList{"Aqualumora", "COM5"}
                            << "Verbunden mit Aqualumora an COM5";
    QTest::newRow("german umlaut") << 1 << "ThermavisNotConnected" << QStringList{}
                                   << "Thermavis (Temperatursensor) ist nicht angeschlossen";
}

void TestLocalization::translate()
{
    QFETCH(int, language);
    QFETCH(QString, key);
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QCOMPARE(LoadLanguageTable(language), language);
    QCOMPARE(TranslateFmt(key, args), expected);
    if (args.isEmpty())
        QCOMPARE(Translate(key), expected);
}

void TestLocalization::lineBreaksExpanded()
{
    const QString text = TranslateFmt(QStringLiteral("IRLearnDlgText"), {QStringLiteral("Aqualumora")});
    QVERIFY(text.startsWith(QStringLiteral("For this, an IR remote control capable of the RC-5\nstandard")));
    QVERIFY(text.contains(QStringLiteral("While pairing Aqualumora will request")));
    QVERIFY(text.endsWith(QStringLiteral("\n\nProceed?")));
    QVERIFY(!text.contains('\\'));
    QVERIFY(!text.contains('\r'));
    QCOMPARE(text.count('\n'), 9);
}

void TestLocalization::channelLetter_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    QTest::newRow("A") << 0 << "A";
    QTest::newRow("F") << 5 << "F";
    QTest::newRow("L") << 11 << "L";
    QTest::newRow("negative") << -1 << "?";
    QTest::newRow("beyond Z") << 26 << "?";
    QTest::newRow("INT_MIN") << INT_MIN << "?";
}

void TestLocalization::channelLetter()
{
    QFETCH(int, index);
    QFETCH(QString, expected);
    QCOMPARE(ChannelLetter(index), expected);
}

void TestLocalization::colorNames_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unnamed") << 0 << 0 << "Unnamed";
    QTest::newRow("white") << 0 << 1 << "PureWhite";
    QTest::newRow("purple") << 0 << 10 << "Purple";
    QTest::newRow("last") << 0 << 15 << "Deep red";
    QTest::newRow("16") << 0 << 16 << "Unnamed";
    QTest::newRow("-1") << 0 << -1 << "Unnamed";
    QTest::newRow("INT_MAX") << 0 << INT_MAX << "Unnamed";
    QTest::newRow("de green") << 1 << 3 << "Grün";
    QTest::newRow("de purple") << 1 << 10 << "Pink";
    QTest::newRow("de out of range") << 1 << 99 << "Unbenannt";
}

void TestLocalization::colorNames()
{
    QFETCH(int, language);
    QFETCH(int, index);
    QFETCH(QString, expected);
    LoadLanguageTable(language);
    QCOMPARE(ColorName(index), expected);
    const QStringList all = ColorNames();
    QCOMPARE(all.size(), ColorCount);
    if (index >= 0 && index < ColorCount)
        QCOMPARE(all.at(index), expected);
}

void TestLocalization::colorTint_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("rgb");
    QTest::newRow("unnamed") << 0 << 0xFFFFFFu;
    QTest::newRow("red") << 2 << 0xFF8080u;
    QTest::newRow("uv") << 5 << 0xC080FFu;
    QTest::newRow("warm white") << 8 << 0xFFFFE0u;
    QTest::newRow("yellow") << 9 << 0xFFFF00u;
    QTest::newRow("royal blue") << 11 << 0xA080FFu;
    QTest::newRow("deep red") << 15 << 0xC08080u;
    QTest::newRow("16") << 16 << 0xFFFFFFu;
    QTest::newRow("-5") << -5 << 0xFFFFFFu;
}

void TestLocalization::colorTint()
{
    QFETCH(int, index);
    QFETCH(uint, rgb);
    QCOMPARE(ColorTintRgb(index), quint32(rgb));
    QCOMPARE(ColorTint(index), QColor::fromRgb(QRgb(0xFF000000u | rgb)));
}

void TestLocalization::chooseLanguage_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("system");
    QTest::addColumn<int>("expected");
    QTest::newRow("undecided, German system") << -1 << int(QLocale::German) << 1;
    QTest::newRow("undecided, English system") << -1 << int(QLocale::English) << 0;
    QTest::newRow("undecided, French system") << -1 << int(QLocale::French) << 0;
    QTest::newRow("english on German system") << 0 << int(QLocale::German) << 0;
    QTest::newRow("german on English system") << 1 << int(QLocale::English) << 1;
    QTest::newRow("unknown number") << 2 << int(QLocale::German) << 0;
    QTest::newRow("other negative") << -2 << int(QLocale::German) << 0;
}

void TestLocalization::chooseLanguage()
{
    QFETCH(int, requested);
    QFETCH(int, system);
    QFETCH(int, expected);
    QCOMPARE(ChooseLanguage(requested, QLocale::Language(system)), expected);
}

// main() starts this test program with a German system locale. The default locale
// (number formats) does not decide the language; an explicit choice overrides the system.
void TestLocalization::germanSystem()
{
    QCOMPARE(QLocale::system().language(), QLocale::German);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(ChooseLanguage(LanguageUndecided), LanguageGerman);
    QCOMPARE(LoadLanguageTable(LanguageUndecided), LanguageGerman);
    QCOMPARE(CurrentLanguage(), LanguageGerman);
    QCOMPARE(Translate(QStringLiteral("Started")), QStringLiteral("gestartet"));
    QCOMPARE(LoadLanguageTable(LanguageEnglish), LanguageEnglish);
    QCOMPARE(Translate(QStringLiteral("Started")), QStringLiteral("started"));
    QLocale::setDefault(QLocale::c());
}

// Worker threads translate while the table is replaced: every lookup sees one whole table.
void TestLocalization::lookupsWhileReloading()
{
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([&] {
            while (!stop.load()) {
                const QString s = TranslateFmt(QStringLiteral("ConnectedTo"), {QStringLiteral("COM5")});
                if (s != QLatin1String("Connected to COM5") && s != QLatin1String("Verbunden mit COM5"))
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

void TestLocalization::loadLanguage_data()
{
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("nameA");
    QTest::addColumn<QString>("nameL");
    QTest::addColumn<QString>("pageAF");
    QTest::addColumn<QString>("pageGL");
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QStringList>("languages");
    QTest::newRow("english") << 0 << 0 << "Label for channel A" << "Label for channel L"
                             << "Channels A-F" << "Channels G-L" << "ON" << "&Connection"
                             << QStringList{"English", "German"};
    QTest::newRow("german") << 1 << 1 << "Bezeichnung für Kanal A" << "Bezeichnung für Kanal L"
                            << "Kanäle A-F" << "Kanäle G-L" << "EIN" << "&Verbindung"
                            << QStringList{"Englisch", "Deutsch"};
    QTest::newRow("unknown number") << 7 << 0 << "Label for channel A" << "Label for channel L"
                                    << "Channels A-F" << "Channels G-L" << "ON" << "&Connection"
                                    << QStringList{"English", "German"};
}

void TestLocalization::loadLanguage()
{
    QFETCH(int, requested);
    QFETCH(int, language);
    TestWindow w;
    auto *cmbLanguage = w.get<QComboBox>(QStringLiteral("cmbLanguage"));
    QSignalSpy changes(cmbLanguage, &QComboBox::currentIndexChanged);

    LoadLanguage(w.window.get(), requested);

    QCOMPARE(CurrentLanguage(), language);
    QTEST(w.get<QLabel>(QStringLiteral("lblName0"))->text(), "nameA");
    QTEST(w.get<QLabel>(QStringLiteral("lblName11"))->text(), "nameL");
    QTEST(w.tab(QStringLiteral("tsChannels")), "pageAF");
    QTEST(w.tab(QStringLiteral("tsChannelsGL")), "pageGL");
    QFETCH(QString, on);
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(w.get<QPushButton>(QStringLiteral("btnOn%1").arg(i))->text(), on);
        QCOMPARE(w.get<QPushButton>(QStringLiteral("btnOff%1").arg(i))->text(),
                 w.get<QPushButton>(QStringLiteral("btnOff0"))->text());
    }
    QCOMPARE(w.get<QLabel>(QStringLiteral("lblName6"))->text().right(1), QStringLiteral("G"));
    QTEST(w.get<QMenu>(QStringLiteral("mnuConnection"))->title(), "connection");
    QCOMPARE(w.tab(QStringLiteral("tsMessages")),
             language ? QStringLiteral("Meldungen") : QStringLiteral("Messages"));

    QStringList items;
    for (int i = 0; i < cmbLanguage->count(); ++i)
        items.append(cmbLanguage->itemText(i));
    QTEST(items, "languages");
    QCOMPARE(cmbLanguage->currentIndex(), language);
    QCOMPARE(changes.count(), 0);

    // Texts copied from the chart-source radio buttons.
    const QString water = w.get<QRadioButton>(QStringLiteral("rbtCHMTempWater"))->text();
    QCOMPARE(water, language ? QStringLiteral("Wassertemperatur (Thermavis)")
                             : QStringLiteral("Water temperature (Thermavis)"));
    QCOMPARE(w.get<QAction>(QStringLiteral("mnuCHMTempWater"))->text(), water);
    QCOMPARE(w.get<QAction>(QStringLiteral("mnuCHMVoltage"))->text(),
             w.get<QRadioButton>(QStringLiteral("rbtCHMVoltage"))->text());
    QCOMPARE(w.get<CaptionedEdit>(QStringLiteral("edtCloudTempWater"))->caption(), water);
}

void TestLocalization::logCaptionGoesAboveEarlierLines_data()
{
    QTest::addColumn<QStringList>("logged");
    QTest::newRow("empty log") << QStringList{};
    QTest::newRow("two lines") << QStringList{"[1.1.26 10:00:00] Parameter: -debug", "[1.1.26 10:00:00] second"};
}

// The caption ends in two line breaks: one blank line separates it from the log lines,
// whether they were there before or come after.
void TestLocalization::logCaptionGoesAboveEarlierLines()
{
    QFETCH(QStringList, logged);
    TestWindow w(logged);
    LoadLanguage(w.window.get(), LanguageEnglish);
    w.mem->appendPlainText(QStringLiteral("later"));

    const QStringList lines = w.mem->toPlainText().split('\n');
    QVERIFY(lines.first().startsWith(QStringLiteral("IMPORTANT: BEFORE POWERON")));
    const qsizetype last = lines.indexOf(
        QStringLiteral("remove the jumper! Please do not put the jumper into any position other than the described one."));
    QVERIFY(last > 0);
    QCOMPARE(lines.at(last + 1), QString());
    QCOMPARE(lines.mid(last + 2), logged + QStringList{"later"});
}

void TestLocalization::componentKinds()
{
    TestWindow w;
    LoadLanguage(w.window.get(), LanguageEnglish);

    auto *disconnect = w.get<QAction>(QStringLiteral("mnuDisconnect"));
    QCOMPARE(disconnect->text(), QStringLiteral("Disconnect"));
    QCOMPARE(disconnect->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));

    auto *now = w.get<QPushButton>(QStringLiteral("btnNow"));
    QCOMPARE(now->text(), QStringLiteral("Now"));
    QCOMPARE(now->toolTip(), QStringLiteral("Set current time and date"));
    QCOMPARE(w.get<QGroupBox>(QStringLiteral("gbxStorm"))->title(), QStringLiteral("Thunderstorms"));
    QCOMPARE(w.tab(QStringLiteral("tsExpert")), QStringLiteral("Expert options"));

    auto *step = w.get<CaptionedEdit>(QStringLiteral("edtCloudStep"));
    QCOMPARE(step->caption(), QStringLiteral("Dimming speed"));
    QCOMPARE(step->hint(), QStringLiteral("The higher the quicker the brightness changes"));
    auto *lightning = w.get<QWidget>(QStringLiteral("edtLightningP"));
    QCOMPARE(lightning->property("caption").toString(), QStringLiteral("Lightning frequency"));
    QVERIFY(lightning->toolTip().startsWith(QStringLiteral("The higher the more frequently")));

    const QString description = w.get<QPlainTextEdit>(QStringLiteral("memDescription"))->toPlainText();
    QVERIFY(description.startsWith(QStringLiteral("Column \"Time\" is used in mode \"Auto\"")));
    QVERIFY(description.contains(QStringLiteral("\n00:00 = begin of the day,\n")));
    QVERIFY(!description.contains(QStringLiteral("old")));

    // Wrong kinds keep what they had; a plain edit still takes its hint.
    auto *lat = w.get<QLineEdit>(QStringLiteral("edtLat"));
    QCOMPARE(lat->text(), QStringLiteral("50.1"));
    QCOMPARE(lat->toolTip(), QStringLiteral("positive: north, negative: south"));
    QCOMPARE(w.get<QLineEdit>(QStringLiteral("gbxFan"))->text(), QStringLiteral("keep"));
    QCOMPARE(w.get<QWidget>(QStringLiteral("tsGeo"))->toolTip(), QString());
}

void TestLocalization::malformedEntriesAreSkipped()
{
    TestWindow w;
    ApplyCaptions(w.window.get(), {
        {QStringLiteral("btnNow"), QStringLiteral("no property")},
        {QStringLiteral("btnNow.Text"), QStringLiteral("unknown property")},
        {QStringLiteral(".Caption"), QStringLiteral("no component")},
        {QStringLiteral("btnMissing.Caption"), QStringLiteral("missing")},
        {QStringLiteral("gbxStorm.Caption"), QStringLiteral("Line 1\\nLine 2")},
        {QStringLiteral("cmbLanguage.Caption"), QStringLiteral("combo boxes take hints only")},
        {QStringLiteral("cmbLanguage.Hint"), QStringLiteral("hint")},
    });
    ApplyCaptions(nullptr, {{QStringLiteral("btnNow.Caption"), QStringLiteral("x")}});

    QCOMPARE(w.get<QPushButton>(QStringLiteral("btnNow"))->text(), QString());
    QCOMPARE(w.get<QGroupBox>(QStringLiteral("gbxStorm"))->title(), QStringLiteral("Line 1\nLine 2"));
    auto *combo = w.get<QComboBox>(QStringLiteral("cmbLanguage"));
    QCOMPARE(combo->toolTip(), QStringLiteral("hint"));
    QCOMPARE(combo->count(), 0);
}

void TestLocalization::unresolvedKeys()
{
    TestWindow w;
    const QStringList unresolved = UnresolvedLanguageKeys(w.window.get());
    for (const char *key : {"btnUpload.Caption", "btnDownload.Caption", "edtLat.Caption",
                            "gbxFan.Caption", "tsGeo.Caption", "lblMoon.Caption"})
        QVERIFY2(unresolved.contains(QLatin1String(key)), key);
    for (const char *key : {"mem.Caption", "tsChannels.Caption", "lblName0.Caption", "edtLat.Hint",
                            "mnuConnection.Caption", "mnuDisconnect.Caption", "edtCloudStep.Hint",
                            "edtLightningP.Caption", "memDescription.Caption", "tsExpert.Caption"})
        QVERIFY2(!unresolved.contains(QLatin1String(key)), key);
    QVERIFY(UnresolvedLanguageKeys(nullptr).size() == FormCaptionEntries().size());
}

// A window whose components have the kinds their name prefixes stand for leaves no key
// unresolved, in either table.
void TestLocalization::everyKeyFitsItsConventionalKind()
{
    for (const int language : {LanguageEnglish, LanguageGerman}) {
        LoadLanguageTable(language);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *tabs = add<QTabWidget>(&window, QStringLiteral("pc"));
        auto *menu = new QMenu(&window);
        for (const auto &entry : FormCaptionEntries()) {
            const QString name = entry.key.section('.', 0, 0);
            if (window.findChild<QObject *>(name) || name == QLatin1String("btnUpload")
                || name == QLatin1String("btnDownload"))
                continue;
            if (name.startsWith(QLatin1String("ts"))) {
                auto *page = new QWidget;
                page->setObjectName(name);
                tabs->addTab(page, QString());
            } else if (name.startsWith(QLatin1String("mnu"))) {
                addAction(menu, name);
            } else if (name.startsWith(QLatin1String("lbl"))) {
                add<QLabel>(&window, name);
            } else if (name.startsWith(QLatin1String("btn")) || name.startsWith(QLatin1String("cbx"))
                       || name.startsWith(QLatin1String("rbt"))) {
                add<QRadioButton>(&window, name);
            } else if (name.startsWith(QLatin1String("gbx"))) {
                add<QGroupBox>(&window, name);
            } else if (name.startsWith(QLatin1String("edt"))) {
                add<CaptionedEdit>(&window, name);
            } else if (name.startsWith(QLatin1String("mem"))) {
                add<QPlainTextEdit>(&window, name);
            }
        }
        Q_UNUSED(layout);
        QCOMPARE(UnresolvedLanguageKeys(&window),
                 QStringList({"btnUpload.Caption", "btnDownload.Caption"}));
    }
}

// The system locale is read once, when the application starts; a German one is set
// before that so that the choice by system language can be tested.
int main(int argc, char **argv)
{
    qputenv("LC_ALL", "de_DE.UTF-8");
    qputenv("LANG", "de_DE.UTF-8");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    TestLocalization test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_localization.moc"
