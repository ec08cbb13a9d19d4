// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QTest>

#include "presentation/localization.h"
#include "presentation/mode_text.h"
#include "schedule/health.h"

class TstModeText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void panel_data();
    void panel();
    void irPairingToggles();
    void healthLine_data();
    void healthLine();
};

void TstModeText::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    LoadLanguageTable(LanguageEnglish);
}

void TstModeText::panel_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("state2");
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QString>("text");
    QTest::newRow("auto cloud cooler") << 1 << (StateCloud | StateCooler) << 0 << "" << "AutoOC";
    QTest::newRow("manual hides cloud") << 0 << int(StateCloud) << 0 << "" << "Manual";
    QTest::newRow("geo storm heater timer") << 2 << (StateStorm | StateHeater | StateJmpTimer) << 0 << "" << "GeoSHT";
    QTest::newRow("flash cooler") << 4 << int(StateCooler) << 0 << "" << "FlashC";
    QTest::newRow("saving alone") << 1 << int(StateCloud) << int(State2Saving) << "" << "Saving";
    QTest::newRow("unknown mode keeps name") << 9 << int(StateCooler) << 0 << "Auto" << "AutoC";
}

void TstModeText::panel()
{
    QFETCH(int, mode);
    QFETCH(int, state);
    QFETCH(int, state2);
    QFETCH(QString, previous);
    ConfigRecord config{};
    InfoRecord info{};
    config.Mode = uint8_t(mode);
    info.StateFlags = uint8_t(state);
    info.StateFlags2 = uint8_t(state2);
    QTEST(ModeStatusText(config, info, previous), "text");
}

void TstModeText::irPairingToggles()
{
    ExpertRecord expert{};
    for (int i = 0; i < 8; ++i)
        expert.RC5Code[i] = uint16_t(0x0100 + i);
    expert.RC5Code[7] = 0x1234;
    ToggleIrPairing(expert);
    QCOMPARE(uint16_t(expert.RC5Code[0]), uint16_t(0x1100));
    QCOMPARE(uint16_t(expert.RC5Code[7]), uint16_t(0x0234));
    ToggleIrPairing(expert);
    QCOMPARE(uint16_t(expert.RC5Code[0]), uint16_t(0x0100));
    QCOMPARE(uint16_t(expert.RC5Code[7]), uint16_t(0x1234));
}

void TstModeText::healthLine_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("water");
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("voltage");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("alarm");
    const QString b = QStringLiteral(" \u2022 ");
    QTest::newRow("example") << "COM5" << 0 << 253 << 0x7FFF << 1205 << false
                             << "COM5" + b + "Thermavis: 25.3\u00B0C" + b + "Input voltage: 12.05 Volt" << false;
    QTest::newRow("fahrenheit") << "COM5" << 0 << 250 << 0x7FFF << 0x7FFF << true
                                << "COM5" + b + "Thermavis: 77.0\u00B0F" << false;
    QTest::newRow("ram full not red") << "COM5" << int(ErrorRAMFull) << 0x7FFF << 0x7FFF << 0x7FFF << false
                                      << "COM5" + b + "RAM full" << false;
    QTest::newRow("undervoltage red") << "COM5" << int(ErrorUndervoltage) << 0x7FFF << 0x7FFF << 0x7FFF << false
                                      << "COM5" + b + "Undervoltage" << true;
    QTest::newRow("bit 5 not shown but red") << "COM5" << 0x20 << 0x7FFF << 0x7FFF << 0x7FFF << false << "COM5" << true;
    QTest::newRow("all errors in order") << "" << 0xFF << 0x7FFF << 0x7FFF << 0x7FFF << false
                                         << "Overtemperature" + b + "Undervoltage" + b + "Quarz error" + b + "CRC error" + b +
                                                "RAM full" + b + "RTC error" + b + "PWM error"
                                         << true;
    QTest::newRow("slave") << "ttyUSB0" << 0 << 0x7FFF << -15 << 0x7FFF << false
                           << "ttyUSB0" + b + "Slave: -1.5\u00B0C" << false;
    QTest::newRow("nothing") << "" << 0 << 0x7FFF << 0x7FFF << 0x7FFF << false << "" << false;
}

void TstModeText::healthLine()
{
    QFETCH(QString, port);
    QFETCH(int, errors);
    QFETCH(int, water);
    QFETCH(int, slave);
    QFETCH(int, voltage);
    QFETCH(bool, fahrenheit);
    InfoRecord info{};
    ConfigRecord config{};
    info.ErrorFlags = uint8_t(errors);
    info.WaterTemp = int16_t(water);
    info.SlaveTemp = int16_t(slave);
    info.InputVoltage = int16_t(voltage);
    config.Flag = fahrenheit ? FlagFahrenheit : 0;
    QTEST(DeviceStatusLine(port, info, config), "line");
    QTEST(DeviceStatusIsAlarm(info), "alarm");
}

QTEST_GUILESS_MAIN(TstModeText)
#include "tst_mode_text.moc"
