#include "LiveConfig.h"

#include <QTemporaryDir>
#include <QtTest>
#include <ctime>

namespace {

QDateTime At(const QString &local)
{
    return QDateTime::fromString(local, Qt::ISODate);
}

CapConfig Cap(const QString &from, const QString &to, const QString &days, const QString &units = QStringLiteral("*"))
{
    CapConfig cap(QStringLiteral("night"), 1);
    for (const auto &[key, value] : QList<std::pair<QString, QString>>{
             {"from", from}, {"to", to}, {"days", days}, {"units", units}, {"MUS volume", "50"}})
        if (const QString fault = ReadCapKey(cap, key, value); !fault.isEmpty())
            qFatal("%s", qPrintable(fault));
    return cap;
}

QString Until(const CapConfig &cap, const QString &at)
{
    const std::optional<QDateTime> until = cap.OpenUntil(At(at));
    return until ? until->toOffsetFromUtc(until->offsetFromUtc()).toString(Qt::ISODate) : QStringLiteral("closed");
}

} // namespace

class TestCapWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowsAcrossMidnightAndDays();
    void capsOnOneUnitAsOne();
    void sectionsRead_data();
    void sectionsRead();
};

void TestCapWindows::initTestCase()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

// 2027-01-01 is a Friday. A window belongs to the day it opens on; the clock changes of
// 2027-03-28 and 2027-10-31 give its end the offset of that moment.
void TestCapWindows::windowsAcrossMidnightAndDays()
{
    const struct
    {
        const char *from, *to, *days, *at, *until;
    } cases[] = {
        {"23:00", "07:00", "fri", "2027-01-01T22:59:59", "closed"},
        {"23:00", "07:00", "fri", "2027-01-01T23:00:00", "2027-01-02T07:00:00+01:00"},
        {"23:00", "07:00", "fri", "2027-01-02T06:59:59", "2027-01-02T07:00:00+01:00"},
        {"23:00", "07:00", "fri", "2027-01-02T07:00:00", "closed"},
        {"23:00", "07:00", "fri", "2027-01-02T23:30:00", "closed"},
        {"23:00", "07:00", "mon-fri", "2027-01-04T01:00:00", "closed"},  // Sunday's night
        {"23:00", "07:00", "mon-fri", "2027-01-04T23:01:00", "2027-01-05T07:00:00+01:00"},
        {"22:00", "23:00", "wed,sat-mon", "2027-01-04T22:30:00", "2027-01-04T23:00:00+01:00"},
        {"22:00", "23:00", "wed,sat-mon", "2027-01-05T22:30:00", "closed"},
        {"08:00", "08:00", "mon", "2027-01-05T07:59:00", "2027-01-05T08:00:00+01:00"},
        {"23:00", "07:00", "mon-sun", "2027-03-28T03:30:00", "2027-03-28T07:00:00+02:00"},
        {"23:00", "07:00", "mon-sun", "2027-10-31T06:00:00", "2027-10-31T07:00:00+01:00"},
    };
    for (const auto &c : cases)
        QVERIFY2(Until(Cap(c.from, c.to, c.days), c.at) == QLatin1String(c.until),
                 qPrintable(QStringLiteral("%1-%2 %3 at %4: %5").arg(c.from, c.to, c.days, c.at, Until(Cap(c.from, c.to, c.days), c.at))));
}

// The lowest limit of each channel holds, until the first cap ends; a cap for other units is not there.
void TestCapWindows::capsOnOneUnitAsOne()
{
    CapConfig late = Cap("01:00", "05:00", "mon-sun");
    late.name = QStringLiteral("late");
    QVERIFY(ReadCapKey(late, QStringLiteral("MUS volume"), QStringLiteral("60")).isEmpty());
    QVERIFY(ReadCapKey(late, QStringLiteral("ktv VOLUME"), QStringLiteral("30")).isEmpty());
    const QList<CapConfig> caps{Cap("23:00", "07:00", "mon-sun"), late, Cap("00:00", "00:00", "mon-sun", "room2")};
    const QList<OpenCap> open = OpenCaps(caps, At("2027-01-02T02:00:00"));
    QCOMPARE(open.size(), 3);
    const std::optional<CapInForce> held = CapOn(open, QStringLiteral("room1"));
    QVERIFY(held);
    QCOMPARE(CapJson(held).toObject(),
             (QJsonObject{{"name", "night, late"},
                          {"until", "2027-01-02T05:00:00+01:00"},
                          {"limits", QJsonObject{{"MUS volume", 50}, {"KTV volume", 30}}}}));
    QVERIFY(!CapOn(OpenCaps(caps, At("2027-01-02T12:00:00")), QStringLiteral("room1")));
    QVERIFY(CapJson(std::nullopt).isNull());
}

void TestCapWindows::sectionsRead_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("fault");
    const QString whole = QStringLiteral("from=23:00\nto=7:00\ndays=mon-fri\nunits=room1\nMIC volume=45\nwatch-seconds=5\n");
    QTest::newRow("whole") << whole << QString();
    QTest::newRow("hour") << "from=24:00\nto=07:00\nMUS volume=5\n" << ":3: from takes a time of day, HH:MM";
    QTest::newRow("day") << "from=23:00\nto=07:00\ndays=mon-xmas\n" << ":5: days takes days";
    QTest::newRow("volume") << "from=23:00\nto=07:00\nMUS volume=81\n" << ":5: MUS volume takes 0 to 80";
    QTest::newRow("key") << "from=23:00\nto=07:00\nbass=3\n" << ":5: a cap has no key \"bass\"";
    QTest::newRow("no to") << "from=23:00\nMUS volume=5\n" << ":2: [cap night] needs from= and to=";
    QTest::newRow("no limit") << "from=23:00\nto=07:00\n" << ":2: [cap night] holds no volume";
    QTest::newRow("unit") << "from=23:00\nto=07:00\nMUS volume=5\nunits=room1,room9\n" << ":2: [cap night]: no unit is named \"room9\"";
}

// A cap's section in the configuration file, and what is said of a wrong one, with its line.
void TestCapWindows::sectionsRead()
{
    QFETCH(QString, section);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("quorind.conf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(("[service]\n[cap night]\n" + section + "[room1]\nport=/dev/ttyS0\n").toUtf8());
    file.close();
    QString error;
    const std::optional<LiveConfig> config = ReadLiveConfig(file.fileName(), {QStringLiteral("room1")}, &error);
    if (!fault.isEmpty()) {
        QVERIFY2(error.contains(fault), qPrintable(error));
        return;
    }
    QVERIFY2(config, qPrintable(error));
    QCOMPARE(config->caps.size(), 1);
    const CapConfig &cap = config->caps[0];
    QCOMPARE(cap.name, QStringLiteral("night"));
    QCOMPARE(*cap.to, QTime(7, 0));
    QCOMPARE(cap.days, (std::array<bool, 7>{true, true, true, true, true, false, false}));
    QCOMPARE(cap.units, QStringList{"room1"});
    QCOMPARE(cap.limits, (std::array<int, 3>{-1, 45, -1}));
    QCOMPARE(cap.watchSeconds, 5);
}

QTEST_GUILESS_MAIN(TestCapWindows)
#include "tst_capwindows.moc"
