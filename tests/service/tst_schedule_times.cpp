#include "LiveConfig.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QTimeZone Berlin("Europe/Berlin");

QDateTime Utc(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODate).toUTC();
}

QStringList Times(const QList<ScheduleTimes::Event> &events)
{
    QStringList times;
    for (const ScheduleTimes::Event &e : events)
        times << e.time.toOffsetFromUtc(e.time.offsetFromUtc()).toString(Qt::ISODate) + QLatin1Char(' ') + e.scene;
    return times;
}

std::optional<LiveConfig> Read(const QByteArray &text, QString *error)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("q.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(text);
    file.close();
    const std::optional<LiveConfig> read = ReadLiveConfig(file.fileName(), {QStringLiteral("room1"), QStringLiteral("room2")}, error);
    error->remove(dir.path() + QStringLiteral("/"));
    return read;
}

} // namespace

class TestScheduleTimes : public QObject
{
    Q_OBJECT

private slots:
    void clockChangesFireOnce();
    void daysAndCatchUp();
    void faultsNameTheirLine();
};

// Spring forward (2027-03-28 02:00 CET becomes 03:00 CEST): 02:00 and 02:30 do not exist and
// fire once at 03:00. Fall back (2027-10-31 03:00 CEST becomes 02:00 CET): 02:30 happens
// twice and fires once, the first time.
void TestScheduleTimes::clockChangesFireOnce()
{
    const ScheduleTimes times({{0x7F, 1 * 60 + 59, "a"}, {0x7F, 2 * 60, "b"}, {0x7F, 2 * 60 + 30, "c"}, {0x7F, 3 * 60, "d"}}, Berlin);
    QCOMPARE(Times(times.Between(Utc("2027-03-27T23:00:00Z"), Utc("2027-03-28T03:00:00Z"))),
             (QStringList{"2027-03-28T01:59:00+01:00 a", "2027-03-28T03:00:00+02:00 b", "2027-03-28T03:00:00+02:00 c",
                          "2027-03-28T03:00:00+02:00 d"}));
    QCOMPARE(Times(times.Between(Utc("2027-10-30T22:00:00Z"), Utc("2027-10-31T04:00:00Z"))),
             (QStringList{"2027-10-31T01:59:00+02:00 a", "2027-10-31T02:00:00+02:00 b", "2027-10-31T02:30:00+02:00 c",
                          "2027-10-31T03:00:00+01:00 d"}));
    // The minute the schedule passes over is due in the tick that passes it, once.
    QCOMPARE(times.Between(Utc("2027-03-28T00:59:59Z"), Utc("2027-03-28T01:00:00Z")).size(), 3);
    QCOMPARE(times.Between(Utc("2027-03-28T01:00:00Z"), Utc("2027-03-28T01:00:01Z")).size(), 0);
}

void TestScheduleTimes::daysAndCatchUp()
{
    // 2027-03-26 is a Friday; "late" is on Fridays and Saturdays.
    const ScheduleTimes times({{0x1F, 23 * 60, "quiet"}, {0x30, 23 * 60 + 30, "late"}, {0x7F, 18 * 60, "open"}}, Berlin);
    QCOMPARE(Times(times.Next(Utc("2027-03-26T12:00:00+01:00"), 5)),
             (QStringList{"2027-03-26T18:00:00+01:00 open", "2027-03-26T23:00:00+01:00 quiet", "2027-03-26T23:30:00+01:00 late",
                          "2027-03-27T18:00:00+01:00 open", "2027-03-27T23:30:00+01:00 late"}));
    QCOMPARE(times.Next(Utc("2027-03-26T12:00:00Z"), 10).size(), 10);
    const std::optional<ScheduleTimes::Event> last = times.Last(Utc("2027-03-29T17:59:00+02:00"));
    QVERIFY(last);
    QCOMPARE(Times({*last}), QStringList{"2027-03-28T18:00:00+02:00 open"});
    QVERIFY(!ScheduleTimes({}, Berlin).Last(Utc("2027-03-29T17:59:00Z")));
}

void TestScheduleTimes::faultsNameTheirLine()
{
    QString error;
    const std::optional<LiveConfig> good = Read("[room1]\nport=/dev/x\n[scene quiet]\nunits=room2\nMUS volume=40\nkey=#2\nfade=20\nstaff=true\n"
                                                "[schedule]\nmon-fri 23:00=quiet\nsat-sun,fri 23:30=quiet\ncatch-up-minutes=5\n", &error);
    QVERIFY2(good, qPrintable(error));
    QCOMPARE(good->scenes.size(), 1);
    QCOMPARE(good->scenes[0].units, QStringList{"room2"});
    QCOMPARE(good->scenes[0].settings.size(), 2);
    QCOMPARE(good->schedule[1].days, quint8(0x70));
    QCOMPARE(good->catchUpMinutes, 5);
    const QList<QPair<QByteArray, QString>> bad{
        {"[scene a]\nMUS volume=90\n", "q.conf:2: \"90\" is no value of MUS volume"},
        {"[scene a]\nMUSIC1 57Hz=3\n", "q.conf:2: a scene holds units, fade, staff and the settings MUS volume, MIC volume, KTV volume, mute, key, program, music, mic"},
        {"[scene a]\nunits=room3\nmute=on\n", "q.conf:2: no unit is named \"room3\""},
        {"[scene a b]\nmute=on\n", "q.conf:1: a scene's name holds letters, digits, - _ and . only"},
        {"[scene a]\nfade=20\n", "q.conf:1: [scene a] sets nothing"},
        {"[scene a]\nmute=on\n[schedule]\n23:00=b\n", "q.conf:4: no scene is named \"b\""},
        {"[scene a]\nmute=on\n[schedule]\nfri 23:00=a\nthu-sat 23:00=a\n", "q.conf:5: fri 23:00 is taken already by line 4"},
        {"[scene a]\nmute=on\n[schedule]\nfriday 23:00=a\n", "q.conf:4: HH:MM=scene, DAYS HH:MM=scene (mon-fri, fri,sat) or catch-up-minutes= expected"},
        {"[scene a]\nmute=on\n[schedule]\n24:00=a\n", "q.conf:4: HH:MM=scene, DAYS HH:MM=scene (mon-fri, fri,sat) or catch-up-minutes= expected"},
    };
    for (const auto &[text, reason] : bad) {
        QVERIFY(!Read(text, &error));
        QCOMPARE(error, reason);
    }
}

QTEST_GUILESS_MAIN(TestScheduleTimes)
#include "tst_schedule_times.moc"
