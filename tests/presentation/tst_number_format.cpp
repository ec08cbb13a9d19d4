// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QTest>

#include "presentation/number_format.h"

class TstNumberFormat : public QObject {
    Q_OBJECT
private slots:
    void levelText_data();
    void levelText();
    void percentToLevel_data();
    void percentToLevel();
    void parseDecimal_data();
    void parseDecimal();
    void roundHalfEven_data();
    void roundHalfEven();
    void upTo_data();
    void upTo();
};

void TstNumberFormat::levelText_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");
    QTest::newRow("off") << 0 << "0" << "0";
    QTest::newRow("one") << 1 << "0.02" << "0,02";
    QTest::newRow("20%") << 819 << "20" << "20";
    QTest::newRow("half") << 2048 << "50" << "50";
    QTest::newRow("full") << 4096 << "100" << "100";
    QTest::newRow("1364") << 1364 << "33.3" << "33,3";
}

void TstNumberFormat::levelText()
{
    QFETCH(int, level);
    QTEST(LevelPercentText(level, QLocale(QLocale::English, QLocale::UnitedStates)), "english");
    QTEST(LevelPercentText(level, QLocale(QLocale::German, QLocale::Germany)), "german");
}

void TstNumberFormat::percentToLevel_data()
{
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("level");
    QTest::newRow("50") << 50.0 << 2048;
    QTest::newRow("33.3") << 33.3 << 1364;
    QTest::newRow("20") << 20.0 << 819;
    QTest::newRow("100") << 100.0 << 4096;
    QTest::newRow("above 100 limited") << 150.0 << 4096;
    QTest::newRow("negative limited") << -5.0 << 0;
    QTest::newRow("huge") << 1e300 << 4096;
}

void TstNumberFormat::percentToLevel()
{
    QFETCH(double, percent);
    QTEST(int(PercentToLevel(percent)), "level");
}

void TstNumberFormat::parseDecimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("german");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("point") << "12.5" << false << true << 12.5;
    QTest::newRow("comma in german") << "12,5" << true << true << 12.5;
    QTest::newRow("point in german is no group sign") << "12.5" << true << false << 0.0;
    QTest::newRow("comma in english is no group sign") << "1,250" << false << false << 0.0;
    QTest::newRow("blanks") << " 7 " << false << true << 7.0;
    QTest::newRow("text") << "abc" << false << false << 0.0;
    QTest::newRow("empty") << "" << false << false << 0.0;
    QTest::newRow("infinite") << "1e999" << false << false << 0.0;
    QTest::newRow("negative") << "-3.25" << false << true << -3.25;
}

void TstNumberFormat::parseDecimal()
{
    QFETCH(QString, text);
    QFETCH(bool, german);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const auto parsed = ParseDecimal(text, german ? QLocale(QLocale::German, QLocale::Germany)
                                                  : QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, value);
}

void TstNumberFormat::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qlonglong>("rounded");
    QTest::newRow("0.5") << 0.5 << 0LL;
    QTest::newRow("1.5") << 1.5 << 2LL;
    QTest::newRow("2.5") << 2.5 << 2LL;
    QTest::newRow("-2.5") << -2.5 << -2LL;
    QTest::newRow("2.6") << 2.6 << 3LL;
}

void TstNumberFormat::roundHalfEven()
{
    QFETCH(double, value);
    QTEST(RoundHalfEven(value), "rounded");
}

void TstNumberFormat::upTo_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("trailing zeros go") << 50.10 << 2 << "50.1";
    QTest::newRow("no separator for whole numbers") << 8.0 << 1 << "8";
    QTest::newRow("negative") << -12.34 << 1 << "-12.3";
    QTest::newRow("no negative zero") << -0.001 << 2 << "0";
    QTest::newRow("no group separator") << 12345.5 << 1 << "12345.5";
}

void TstNumberFormat::upTo()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QTEST(FormatUpTo(value, decimals, QLocale(QLocale::English, QLocale::UnitedStates)), "text");
}

QTEST_GUILESS_MAIN(TstNumberFormat)
#include "tst_number_format.moc"
