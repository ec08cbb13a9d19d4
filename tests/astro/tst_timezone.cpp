// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Time-zone rules: transition dates, the rules derived from real zones, the offset for a local
// date and time, and the controller's nine fields.

#include "astro/timezone.h"

#include <QTest>

#include <ctime>

Q_DECLARE_METATYPE(TimeZoneRule)

namespace {

TimeZoneRule Rule(int month, int occurrence, int dayOfWeek, int hour, int minute = 0)
{
    TimeZoneRule r;
    r.month = month;
    r.occurrence = occurrence;
    r.dayOfWeek = dayOfWeek;
    r.hour = hour;
    r.minute = minute;
    return r;
}

QDateTime Wall(int y, int mo, int d, int h, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc());
}

void SetTz(const QByteArray& id)
{
    qputenv("TZ", id);
    tzset();
}

}  // namespace

class TestTimeZone : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetTz(m_originalTz); }
    void initTestCase() { m_originalTz = qgetenv("TZ"); }

    void transitionDate_data();
    void transitionDate();
    void derivedRules_data();
    void derivedRules();
    void offsetAroundTransitions_data();
    void offsetAroundTransitions();
    void offsetMatchesZoneAllYear_data();
    void offsetMatchesZoneAllYear();
    void controllerFields_data();
    void controllerFields();
    void systemZoneFollowsTz_data();
    void systemZoneFollowsTz();
    void badInput();

private:
    QByteArray m_originalTz;
};

void TestTimeZone::transitionDate_data()
{
    QTest::addColumn<TimeZoneRule>("rule");
    QTest::addColumn<int>("year");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("last Sunday of March") << Rule(3, 5, 0, 2) << 2026 << Wall(2026, 3, 29, 2);
    QTest::newRow("last Sunday of October") << Rule(10, 5, 0, 3) << 2026 << Wall(2026, 10, 25, 3);
    QTest::newRow("second Sunday of March") << Rule(3, 2, 0, 2) << 2026 << Wall(2026, 3, 8, 2);
    QTest::newRow("first Sunday of November, on the 1st") << Rule(11, 1, 0, 2) << 2026 << Wall(2026, 11, 1, 2);
    QTest::newRow("fifth Sunday missing: the fourth") << Rule(2, 5, 0, 1) << 2026 << Wall(2026, 2, 22, 1);
    QTest::newRow("fifth Sunday present") << Rule(3, 5, 0, 1) << 2026 << Wall(2026, 3, 29, 1);
    QTest::newRow("first Saturday, later in week") << Rule(4, 1, 6, 23, 59) << 2026 << Wall(2026, 4, 4, 23, 59);
    QTest::newRow("leap February, last Sunday") << Rule(2, 5, 0, 0) << 2032 << Wall(2032, 2, 29, 0);
    QTest::newRow("occurrence beyond 5 counts as last") << Rule(3, 9, 0, 2) << 2026 << Wall(2026, 3, 29, 2);
    QTest::newRow("hour 24 is the next midnight") << Rule(3, 5, 0, 24) << 2026 << Wall(2026, 3, 30, 0);
    QTest::newRow("no month") << Rule(0, 0, 0, 0) << 2026 << QDateTime();
    QTest::newRow("month 13") << Rule(13, 1, 0, 0) << 2026 << QDateTime();
    QTest::newRow("weekday 7") << Rule(3, 1, 7, 0) << 2026 << QDateTime();
    QTest::newRow("occurrence 0") << Rule(3, 0, 0, 0) << 2026 << QDateTime();
}

void TestTimeZone::transitionDate()
{
    QFETCH(TimeZoneRule, rule);
    QFETCH(int, year);
    QFETCH(QDateTime, expected);
    const QDateTime got = TransitionDate(rule, year);
    QCOMPARE(got.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(got.date(), expected.date());
        QCOMPARE(got.time(), expected.time());
    }
}

void TestTimeZone::derivedRules_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("bias");
    QTest::addColumn<int>("daylightBias");
    QTest::addColumn<TimeZoneRule>("daylight");
    QTest::addColumn<TimeZoneRule>("standard");
    QTest::newRow("Berlin") << QByteArray("Europe/Berlin") << 2026 << -60 << -60 << Rule(3, 5, 0, 2) << Rule(10, 5, 0, 3);
    // The last Sunday of March 2027 is the 28th, still in the month's last week.
    QTest::newRow("Berlin 2027") << QByteArray("Europe/Berlin") << 2027 << -60 << -60 << Rule(3, 5, 0, 2)
                                 << Rule(10, 5, 0, 3);
    QTest::newRow("New York") << QByteArray("America/New_York") << 2026 << 300 << -60 << Rule(3, 2, 0, 2)
                              << Rule(11, 1, 0, 2);
    QTest::newRow("Sydney") << QByteArray("Australia/Sydney") << 2026 << -600 << -60 << Rule(10, 1, 0, 2)
                            << Rule(4, 1, 0, 3);
    QTest::newRow("Lord Howe: half-hour daylight shift")
        << QByteArray("Australia/Lord_Howe") << 2026 << -630 << -30 << Rule(10, 1, 0, 2) << Rule(4, 1, 0, 2);
    QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata") << 2026 << -330 << 0 << TimeZoneRule{} << TimeZoneRule{};
    QTest::newRow("UTC") << QByteArray("UTC") << 2026 << 0 << 0 << TimeZoneRule{} << TimeZoneRule{};
}

void TestTimeZone::derivedRules()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, year);
    QFETCH(int, bias);
    QFETCH(int, daylightBias);
    QFETCH(TimeZoneRule, daylight);
    QFETCH(TimeZoneRule, standard);
    const std::optional<TimeZoneInfo> info = TimeZoneInfoForYear(QTimeZone(zone), year);
    QVERIFY(info);
    QCOMPARE(info->bias, bias);
    QCOMPARE(info->standardBias, 0);
    QCOMPARE(info->daylightBias, daylightBias);
    QCOMPARE(info->daylightDate, daylight);
    QCOMPARE(info->standardDate, standard);
}

void TestTimeZone::offsetAroundTransitions_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("local");
    QTest::addColumn<int>("offset");
    const QByteArray berlin("Europe/Berlin"), ny("America/New_York"), sydney("Australia/Sydney");
    QTest::newRow("Berlin before spring") << berlin << Wall(2026, 3, 29, 1, 59) << 60;
    QTest::newRow("Berlin at spring") << berlin << Wall(2026, 3, 29, 2, 0) << 120;
    QTest::newRow("Berlin before autumn") << berlin << Wall(2026, 10, 25, 2, 59) << 120;
    QTest::newRow("Berlin at autumn") << berlin << Wall(2026, 10, 25, 3, 0) << 60;
    QTest::newRow("Berlin new year") << berlin << Wall(2026, 1, 1, 0, 0) << 60;
    QTest::newRow("New York before spring") << ny << Wall(2026, 3, 8, 1, 59) << -300;
    QTest::newRow("New York at spring") << ny << Wall(2026, 3, 8, 2, 0) << -240;
    QTest::newRow("New York before autumn") << ny << Wall(2026, 11, 1, 1, 59) << -240;
    QTest::newRow("New York at autumn") << ny << Wall(2026, 11, 1, 2, 0) << -300;
    // Daylight time spans the turn of the year here: January and December are summer.
    QTest::newRow("Sydney new year") << sydney << Wall(2026, 1, 1, 0, 0) << 660;
    QTest::newRow("Sydney before autumn") << sydney << Wall(2026, 4, 5, 2, 59) << 660;
    QTest::newRow("Sydney at autumn") << sydney << Wall(2026, 4, 5, 3, 0) << 600;
    QTest::newRow("Sydney before spring") << sydney << Wall(2026, 10, 4, 1, 59) << 600;
    QTest::newRow("Sydney at spring") << sydney << Wall(2026, 10, 4, 2, 0) << 660;
    QTest::newRow("Sydney year end") << sydney << Wall(2026, 12, 31, 23, 59) << 660;
}

void TestTimeZone::offsetAroundTransitions()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, local);
    QFETCH(int, offset);
    const std::optional<TimeZoneInfo> info = TimeZoneInfoForYear(QTimeZone(zone), local.date().year());
    QVERIFY(info);
    QCOMPARE(UtcOffsetForDate(*info, local), offset);
    // The zone of the argument plays no part: only its wall-clock fields count.
    QCOMPARE(UtcOffsetForDate(*info, QDateTime(local.date(), local.time(), QTimeZone(zone))), offset);
}

void TestTimeZone::offsetMatchesZoneAllYear_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("year");
    QTest::newRow("Berlin") << QByteArray("Europe/Berlin") << 2026;
    QTest::newRow("New York") << QByteArray("America/New_York") << 2025;
    QTest::newRow("Sydney") << QByteArray("Australia/Sydney") << 2026;
    QTest::newRow("Auckland") << QByteArray("Pacific/Auckland") << 2030;
    QTest::newRow("Santiago") << QByteArray("America/Santiago") << 2026;
    QTest::newRow("Dublin (winter flagged as daylight in the data)") << QByteArray("Europe/Dublin") << 2026;
    QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata") << 2026;
    QTest::newRow("UTC") << QByteArray("UTC") << 2026;
    QTest::newRow("Istanbul: daylight time kept for good") << QByteArray("Europe/Istanbul") << 2016;
    QTest::newRow("Sao Paulo: daylight time abolished") << QByteArray("America/Sao_Paulo") << 2019;
}

void TestTimeZone::offsetMatchesZoneAllYear()
{
    // Walk the year hour by hour in UTC and compare with the zone's own offset at the resulting
    // local time; hours next to a change are ambiguous or missing in local time and skipped.
    QFETCH(QByteArray, zone);
    QFETCH(int, year);
    const QTimeZone tz(zone);
    QVERIFY(tz.isValid());
    const std::optional<TimeZoneInfo> info = TimeZoneInfoForYear(tz, year);
    QVERIFY(info);
    const QDateTime begin(QDate(year, 1, 1), QTime(0, 0), QTimeZone::utc());
    int checked = 0;
    for (QDateTime u = begin.addDays(1); u.date().year() == year && u.date() < QDate(year, 12, 31); u = u.addSecs(3600)) {
        const int off = tz.offsetFromUtc(u);
        if (tz.offsetFromUtc(u.addSecs(-7200)) != off || tz.offsetFromUtc(u.addSecs(7200)) != off)
            continue;
        const QDateTime local = u.addSecs(off);
        if (UtcOffsetForDate(*info, local) != off / 60)
            QFAIL(qPrintable(local.toString(Qt::ISODate) + " local: expected " + QString::number(off / 60) + ", got "
                             + QString::number(UtcOffsetForDate(*info, local))));
        ++checked;
    }
    QVERIFY(checked > 8000);
}

void TestTimeZone::controllerFields_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QList<int>>("fields");
    QTest::newRow("Central Europe") << QByteArray("Europe/Berlin") << QList<int>{60, 10, 31, 3, 0, 3, 31, 2, 0};
    QTest::newRow("Eastern US") << QByteArray("America/New_York") << QList<int>{-300, 11, 7, 2, 0, 3, 14, 2, 0};
    QTest::newRow("Sydney") << QByteArray("Australia/Sydney")
                                                << QList<int>{600, 4, 7, 3, 0, 10, 7, 2, 0};
    QTest::newRow("no daylight time") << QByteArray("Asia/Kolkata") << QList<int>{330, 0, 0, 0, 0, 0, 0, 0, 0};
}

void TestTimeZone::controllerFields()
{
    QFETCH(QByteArray, zone);
    QFETCH(QList<int>, fields);
    const std::optional<TimeZoneInfo> info = TimeZoneInfoForYear(QTimeZone(zone), 2026);
    QVERIFY(info);
    const ControllerTimeZone c = ControllerTimeZoneFromInfo(*info);
    const QList<int> got{c.bias, c.standardMonth, c.standardDay, c.standardHour, c.standardDayOfWeek,
                         c.daylightMonth, c.daylightDay, c.daylightHour, c.daylightDayOfWeek};
    QCOMPARE(got, fields);

    // The last week of a short month is capped at its last day (February without the leap day).
    TimeZoneInfo synthetic;
    synthetic.standardDate = Rule(2, 5, 0, 2);
    synthetic.daylightDate = Rule(9, 5, 0, 2);
    const ControllerTimeZone s = ControllerTimeZoneFromInfo(synthetic);
    QCOMPARE(s.standardDay, 28);
    QCOMPARE(s.daylightDay, 30);
}

void TestTimeZone::systemZoneFollowsTz_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QDateTime>("local");
    QTest::addColumn<int>("offset");
    QTest::newRow("Berlin") << QByteArray("Europe/Berlin") << Wall(2026, 7, 1, 12) << 120;
    QTest::newRow("New York") << QByteArray("America/New_York") << Wall(2026, 1, 15, 12) << -300;
    QTest::newRow("Sydney") << QByteArray("Australia/Sydney") << Wall(2026, 1, 15, 12) << 660;
    QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata") << Wall(2026, 1, 15, 12) << 330;
    QTest::newRow("UTC") << QByteArray("UTC") << Wall(2026, 7, 1, 12) << 0;
}

void TestTimeZone::systemZoneFollowsTz()
{
    QFETCH(QByteArray, id);
    QFETCH(QDateTime, local);
    QFETCH(int, offset);
    SetTz(id);
    const std::optional<TimeZoneInfo> info = SystemTimeZoneInfo(local.date().year());
    QVERIFY(info);
    QCOMPARE(*info, *TimeZoneInfoForYear(QTimeZone(id), local.date().year()));
    QCOMPARE(UtcOffsetForDate(local.date(), local.time()), offset);
}

void TestTimeZone::badInput()
{
    QVERIFY(!TimeZoneInfoForYear(QTimeZone(), 2026));
    QVERIFY(!TimeZoneInfoForYear(QTimeZone("Europe/Berlin"), 0));  // there is no year 0
    QCOMPARE(UtcOffsetForDate(QDate(), QTime(12, 0)), 0);

    TimeZoneInfo info = *TimeZoneInfoForYear(QTimeZone("Europe/Berlin"), 2026);
    QCOMPARE(UtcOffsetForDate(info, QDate(), QTime()), 60);
    QCOMPARE(UtcOffsetForDate(info, QDate(2026, 7, 1), QTime()), 120);  // invalid time: midnight
    // A rule that names no real date gives standard time rather than an arbitrary answer.
    info.standardDate.month = 13;
    QCOMPARE(UtcOffsetForDate(info, QDate(2026, 7, 1), QTime(12, 0)), 60);
    info = *TimeZoneInfoForYear(QTimeZone("Europe/Berlin"), 2026);
    info.daylightDate.dayOfWeek = -1;
    QCOMPARE(UtcOffsetForDate(info, QDate(2026, 7, 1), QTime(12, 0)), 60);
}

QTEST_GUILESS_MAIN(TestTimeZone)
#include "tst_timezone.moc"
