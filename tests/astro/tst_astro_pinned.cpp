// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The astronomy formulas' own results, pinned to 1e-9 (distances to 1e-12 relative).
//
// tst_astro compares with an independent ephemeris at tolerances of minutes and tenths of a
// degree, which is right for judging the formulas but lets a silently changed constant through:
// a dropped delta T moves the sun by 3 arc seconds and a rise by a second. These vectors catch
// any change to a constant, a rate or the order of the steps. They were produced by the formulas
// after those agreed with the ephemeris; the rows are in pinned.csv, one kind of call per row:
//
//   kind, inputs..., name=value, name=value, ...
//
// After an intended change of a formula (and tst_astro still passing), rewrite the values with
//   AQ_ASTRO_PIN_WRITE=/path/to/pinned.csv tst_astro_pinned
// which keeps the rows' inputs and comments and recomputes every value.

#include "astro/astro.h"
#include "astro/timezone.h"

#include <QDate>
#include <QFile>
#include <QTest>

#include <cmath>
#include <ctime>
#include <vector>

namespace {

constexpr double Deg = astro::RadPerDeg;
constexpr double Tolerance = 1e-9;
constexpr double RelativeDistanceTolerance = 1e-12;

struct Value {
    QString name;
    double value = 0;
};
using Values = std::vector<Value>;

void Add(Values& v, const char* name, double value)
{
    v.push_back({QString::fromLatin1(name), value});
}

void AddBody(Values& v, const char* prefix, const BodyPosition& p, bool moon)
{
    const QString pre = QString::fromLatin1(prefix);
    auto add = [&](const char* name, double value) { v.push_back({pre + QString::fromLatin1(name), value}); };
    add("lon", p.longitude);
    add("lat", p.latitude);
    add("ra", p.rightAscension);
    add("dec", p.declination);
    add("az", p.azimuth);
    add("alt", p.altitude);
    add("rising", p.rising ? 1 : 0);
    if (moon) {
        add("dist", p.distance);
        add("phase", p.phaseAngle);
        add("frac", p.illuminatedFraction);
    } else {
        add("M", p.meanAnomaly);
    }
}

void AddTimes(Values& v, const char* prefix, const RiseSetTimes& t)
{
    const QString pre = QString::fromLatin1(prefix);
    v.push_back({pre + QStringLiteral("rise"), t.rise});
    v.push_back({pre + QStringLiteral("set"), t.set});
    v.push_back({pre + QStringLiteral("transit"), t.transit});
    v.push_back({pre + QStringLiteral("lower"), t.lowerTransit});
}

// The results of one row's call. The inputs are the row's positional fields after the kind.
bool Compute(const QString& kind, const QStringList& in, Values& out, QString& error)
{
    auto d = [&](int i) { return in.value(i).toDouble(); };
    auto n = [&](int i) { return in.value(i).toInt(); };
    auto need = [&](int count) {
        if (in.size() == count)
            return true;
        error = QStringLiteral("%1 needs %2 inputs, has %3").arg(kind).arg(count).arg(in.size());
        return false;
    };
    if (kind == u"sky") {
        // latitude, longitude (degrees), year, month, day, hour, minute, UTC offset (minutes)
        if (!need(8))
            return false;
        const SkyView s = ComputeSky(d(0), d(1), n(2), n(3), n(4), n(5), n(6), n(7));
        Add(out, "jd", s.jd);
        Add(out, "jde", s.jde);
        Add(out, "gmst", s.gmst);
        Add(out, "lst", s.lst);
        Add(out, "rho", s.observer.observerDistance);
        AddBody(out, "sun.", s.sun, false);
        AddBody(out, "moon.", s.moon, true);
        AddTimes(out, "sun.", s.sunTimes);
        AddTimes(out, "moon.", s.moonTimes);
        return true;
    }
    if (kind == u"sunat") {
        if (!need(8))
            return false;
        AddBody(out, "", SunAt(d(0), d(1), n(2), n(3), n(4), n(5), n(6), n(7)), false);
        return true;
    }
    if (kind == u"sidereal") {
        // day, month, year, universal hours, longitude (degrees)
        if (!need(5))
            return false;
        const double jd0 = JulianDay(n(0), n(1), n(2));
        const double gmst = SiderealTime(jd0 + d(3) / 24);
        Add(out, "jd0", jd0);
        Add(out, "gmst", gmst);
        Add(out, "lst", LocalSiderealTime(d(4) * Deg, gmst));
        Add(out, "ut", SiderealToUniversal(jd0, gmst));
        return true;
    }
    if (kind == u"moongeo") {
        // Julian date (dynamical time): the moon without an observer.
        if (!need(1))
            return false;
        BodyPosition sun, moon;
        const BodyPosition noObserver;
        SunPosition(sun, d(0), 0, 0);
        MoonPosition(moon, sun, noObserver, d(0), 0);
        AddBody(out, "", moon, true);
        return true;
    }
    if (kind == u"sunriseset" || kind == u"moonriseset") {
        // zone hours, latitude, longitude (degrees), delta T (seconds), day, month, year
        if (!need(7))
            return false;
        RiseSetTimes t;
        const double jd0 = JulianDay(n(4), n(5), n(6));
        if (kind == u"sunriseset")
            SunRiseSet(t, n(0), d(1) * Deg, d(2) * Deg, d(3), jd0);
        else
            MoonRiseSet(t, n(0), d(1) * Deg, d(2) * Deg, d(3), jd0);
        AddTimes(out, "", t);
        return true;
    }
    if (kind == u"interpolate") {
        // k, s1, s2, g0
        if (!need(4))
            return false;
        Add(out, "s", InterpolateCrossing(d(0), d(1), d(2), d(3)));
        return true;
    }
    if (kind == u"utcoffset") {
        // TZ value, year, month, day, hour, minute: the offset of this computer's zone.
        if (!need(6))
            return false;
        const QByteArray saved = qgetenv("TZ");
        const bool hadTz = qEnvironmentVariableIsSet("TZ");
        qputenv("TZ", in[0].toLatin1());
        tzset();
        Add(out, "minutes", UtcOffsetForDate(QDate(n(1), n(2), n(3)), QTime(n(4), n(5))));
        if (hadTz)
            qputenv("TZ", saved);
        else
            qunsetenv("TZ");
        tzset();
        return true;
    }
    error = QStringLiteral("unknown kind ") + kind;
    return false;
}

struct Row {
    QString kind;
    QStringList inputs;
    Values expected;
    int line = 0;
};

QString PinnedPath()
{
    return qEnvironmentVariable("AQ_SOURCE_DIR") + QStringLiteral("/tests/astro/pinned.csv");
}

QStringList ReadLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n');
}

std::vector<Row> ParseRows(const QStringList& lines)
{
    std::vector<Row> rows;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u',');
        Row r;
        r.kind = fields[0].trimmed();
        r.line = i + 1;
        for (int k = 1; k < fields.size(); ++k) {
            const QString f = fields[k].trimmed();
            const qsizetype eq = f.indexOf(u'=');
            if (eq < 0)
                r.inputs << f;
            else
                r.expected.push_back({f.left(eq), f.mid(eq + 1).toDouble()});
        }
        rows.push_back(r);
    }
    return rows;
}

// Rewrites the file with freshly computed values; inputs, comments and blank lines stay.
bool WritePinned(const QString& path, const QStringList& lines)
{
    QStringList out;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            out << raw;
            continue;
        }
        const std::vector<Row> one = ParseRows({line});
        Values values;
        QString error;
        if (!Compute(one[0].kind, one[0].inputs, values, error))
            return false;
        QStringList fields{one[0].kind};
        fields += one[0].inputs;
        for (const Value& v : values)
            fields << v.name + u'=' + QString::number(v.value, 'g', 17);
        out << fields.join(u',');
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate))
        return false;
    f.write((out.join(u'\n') + u'\n').toUtf8());
    return true;
}

}  // namespace

class TestAstroPinned : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void pinned_data();
    void pinned();
    void coversEveryKind();

private:
    std::vector<Row> m_rows;
};

void TestAstroPinned::initTestCase()
{
    const QStringList lines = ReadLines(PinnedPath());
    QVERIFY2(!lines.isEmpty(), qPrintable(PinnedPath()));
    const QString writeTo = qEnvironmentVariable("AQ_ASTRO_PIN_WRITE");
    if (!writeTo.isEmpty()) {
        QVERIFY(WritePinned(writeTo, lines));
        QSKIP("values written, nothing compared");
    }
    m_rows = ParseRows(lines);
}

void TestAstroPinned::pinned_data()
{
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const Row& r = m_rows[i];
        QTest::addRow("line %d: %s %s", r.line, qPrintable(r.kind), qPrintable(r.inputs.join(u' '))) << int(i);
    }
}

void TestAstroPinned::pinned()
{
    QFETCH(int, index);
    const Row& row = m_rows[size_t(index)];
    Values actual;
    QString error;
    QVERIFY2(Compute(row.kind, row.inputs, actual, error), qPrintable(error));
    // Every value the call gives is pinned, and nothing else.
    QCOMPARE(row.expected.size(), actual.size());
    QStringList wrong;
    for (size_t i = 0; i < actual.size(); ++i) {
        const Value& want = row.expected[i];
        const Value& got = actual[i];
        QCOMPARE(want.name, got.name);
        const double tolerance = want.name.endsWith(QStringLiteral("dist"))
                                     ? RelativeDistanceTolerance * std::abs(want.value)
                                     : Tolerance;
        if (!(std::abs(got.value - want.value) <= tolerance))
            wrong << QStringLiteral("%1 = %2, pinned %3").arg(got.name, QString::number(got.value, 'g', 17),
                                                              QString::number(want.value, 'g', 17));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
}

void TestAstroPinned::coversEveryKind()
{
    // A row kind that silently vanished from the file would leave its functions unguarded.
    QSet<QString> kinds;
    for (const Row& r : m_rows)
        kinds.insert(r.kind);
    for (const char* k : {"sky", "sunat", "sidereal", "moongeo", "sunriseset", "moonriseset", "interpolate",
                          "utcoffset"})
        QVERIFY2(kinds.contains(QString::fromLatin1(k)), k);
    QVERIFY(m_rows.size() >= 40);
}

QTEST_GUILESS_MAIN(TestAstroPinned)
#include "tst_astro_pinned.moc"
