#include "NamedSettings.h"
#include "ProgramState.h"
#include "MessageLog.h"
#include "Ser2Net.h"
#include "SettingsFile.h"
#include "SimulatorTerminal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>

namespace {

struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
};

// Runs quorinctl while the simulators of this process keep answering.
ToolRun Tool(const QStringList &args)
{
    QProcess tool;
    tool.start(QStringLiteral(QUORINCTL), args);
    if (!tool.waitForStarted(5000))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (tool.state() != QProcess::NotRunning && clock.elapsed() < 60000)
        QTest::qWait(5);
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromLocal8Bit(tool.readAllStandardOutput()), QString::fromLocal8Bit(tool.readAllStandardError())};
}

std::unique_ptr<SimulatorTerminal> Sim(SimOptions options = {})
{
    auto sim = std::make_unique<SimulatorTerminal>(options);
    return sim->Open() ? std::move(sim) : nullptr;
}

void Preset(SimulatorTerminal &sim, const NamedSetting &setting, quint8 value)
{
    for (quint8 b : SettingFrame(UploadOp, setting.Block(), setting.Selector(), setting.Address(), value))
        sim.Processor().Receive(b);
}

const NamedSetting &Named(const char *name)
{
    const NamedSetting *setting = FindNamedSetting(QString::fromLatin1(name));
    Q_ASSERT(setting);
    return *setting;
}

// A snapshot unlike the factory's in every table and single setting.
SettingsSnapshot Tuned()
{
    SettingsSnapshot s;
    for (const NamedSetting &setting : AllNamedSettings())
        setting.SetValue(s, quint8((setting.Address() + setting.Selector() + 1) % (setting.Highest() + 1)));
    return s;
}

} // namespace

class TestQuorinctl : public QObject
{
    Q_OBJECT

private slots:
    void restoreSendsEverythingAndVerifies();
    void badFileSendsNothing();
    void silentUnitFailsAloneInAFleet();
    void verifyAndDiffNameEveryDifference();
    void getAndSetByName();
    void venueBackupThroughServers();
    void usageErrors();
    void unitsFileNamesAreUniqueFileNames();
    void signalsStopTheUnitsAndReport();
};

void TestQuorinctl::restoreSendsEverythingAndVerifies()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("room.txt"));
    QVERIFY(WriteSettingsFile(file, Tuned(), false));
    auto sim = Sim();
    QVERIFY(sim);

    const ToolRun run = Tool({QStringLiteral("restore"), file, sim->Path(), QStringLiteral("--json")});
    QCOMPARE(run.status, 0);
    QCOMPARE(sim->Processor().FramesReceived(), 1 + 212 + 211);  // identification, upload, read-back
    QCOMPARE(sim->Received().mid(6 + 211 * 6, 6), QByteArray::fromHex("cdef00000000"));
    const QJsonObject unit = QJsonDocument::fromJson(run.out.toUtf8())[QStringLiteral("units")][0].toObject();
    QCOMPARE(unit[QStringLiteral("result")].toString(), QStringLiteral("ok"));
    QCOMPARE(unit[QStringLiteral("model")].toInt(), 0x6E);
    QCOMPARE(unit[QStringLiteral("differences")].toArray().size(), 0);

    // What the unit now holds comes back as the same file, byte for byte.
    const QString backup = dir.filePath(QStringLiteral("back.txt"));
    QCOMPARE(Tool({QStringLiteral("backup"), sim->Path(), backup}).status, 0);
    QFile a(file), b(backup);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());
}

void TestQuorinctl::badFileSendsNothing()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bad.txt"));
    QVERIFY(WriteSettingsFile(file, Tuned(), false));
    QVERIFY(QProcess::execute(QStringLiteral("sed"), {QStringLiteral("-i"), QStringLiteral("s/^Eff1.9=.*/Eff1.9=256/"), file}) == 0);
    auto sim = Sim();
    QVERIFY(sim);
    const ToolRun run = Tool({QStringLiteral("restore"), file, sim->Path()});
    QCOMPARE(run.status, 4);
    QVERIFY2(run.err.contains(QStringLiteral("bad.txt: holds a value that is not a number or is out of range")), qPrintable(run.err));
    QVERIFY(sim->Received().isEmpty());
    QCOMPARE(Tool({QStringLiteral("verify"), dir.filePath(QStringLiteral("none.txt")), sim->Path()}).status, 4);

    // The first quarter of a backup (48 of its 213 lines) is no settings file.
    QVERIFY(WriteSettingsFile(file, Tuned(), false));
    QVERIFY(QProcess::execute(QStringLiteral("sed"), {QStringLiteral("-i"), QStringLiteral("49,$d"), file}) == 0);
    ToolRun part = Tool({QStringLiteral("restore"), file, sim->Path(), QStringLiteral("--json")});
    QCOMPARE(part.status, 4);
    QVERIFY2(part.err.contains(QStringLiteral("bad.txt: is not a whole settings file: it lacks Music2.10")), qPrintable(part.err));
    const QJsonObject unit = QJsonDocument::fromJson(part.out.toUtf8())[QStringLiteral("units")][0].toObject();
    QCOMPARE(unit[QStringLiteral("code")].toString(), QStringLiteral("incomplete-file"));
    QCOMPARE(sim->Processor().FramesReceived(), 0);

    // A device named where the file was meant is refused at once, never read.
    auto other = Sim();
    QVERIFY(other);
    QElapsedTimer clock;
    clock.start();
    part = Tool({QStringLiteral("restore"), other->Path(), sim->Path()});
    QCOMPARE(part.status, 4);
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY2(part.err.contains(QStringLiteral("is not a regular file")), qPrintable(part.err));
    QCOMPARE(sim->Processor().FramesReceived(), 0);
}

// One unit falls silent during the upload; the seven others finish, and so does the run.
void TestQuorinctl::silentUnitFailsAloneInAFleet()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("room.txt"));
    QVERIFY(WriteSettingsFile(file, Tuned(), false));
    std::vector<std::unique_ptr<SimulatorTerminal>> sims;
    QString units;
    for (int i = 0; i < 8; ++i) {
        SimOptions options;
        if (i == 3)
            options.silentAfter = 100;
        sims.push_back(Sim(options));
        QVERIFY(sims.back());
        units += QStringLiteral("room%1 %2\n").arg(i + 1).arg(sims.back()->Path());
    }
    QFile list(dir.filePath(QStringLiteral("venue.units")));
    QVERIFY(list.open(QIODevice::WriteOnly) && list.write(units.toUtf8()) > 0);
    list.close();

    const ToolRun run = Tool({QStringLiteral("--units"), list.fileName(), QStringLiteral("restore"), file, QStringLiteral("--json")});
    QCOMPARE(run.status, 3);
    const QJsonArray results = QJsonDocument::fromJson(run.out.toUtf8())[QStringLiteral("units")].toArray();
    QCOMPARE(results.size(), 8);
    for (int i = 0; i < 8; ++i) {
        const QJsonObject r = results[i].toObject();
        QCOMPARE(r[QStringLiteral("name")].toString(), QStringLiteral("room%1").arg(i + 1));
        QCOMPARE(r[QStringLiteral("result")].toString(), i == 3 ? QStringLiteral("failed") : QStringLiteral("ok"));
        QCOMPARE(r[QStringLiteral("code")].toString(), i == 3 ? QStringLiteral("lost") : QStringLiteral("ok"));
        QVERIFY(r[QStringLiteral("seconds")].toDouble() > 0);
        if (i != 3)
            QCOMPARE(sims[std::size_t(i)]->Processor().FramesReceived(), 1 + 212 + 211);
    }
    QVERIFY(results[3].toObject()[QStringLiteral("message")].toString().contains(QStringLiteral("mix of old and new")));
    // The tool speaks English only, never the editor's words.
    QVERIFY2(!run.err.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))), qPrintable(run.err));
}

void TestQuorinctl::verifyAndDiffNameEveryDifference()
{
    QTemporaryDir dir;
    auto sim = Sim();
    auto other = Sim();
    QVERIFY(sim && other);
    const QString file = dir.filePath(QStringLiteral("room.txt"));
    QCOMPARE(Tool({QStringLiteral("backup"), sim->Path(), file}).status, 0);
    QCOMPARE(Tool({QStringLiteral("verify"), file, sim->Path()}).status, 0);

    // Behind the file's back.
    Preset(*sim, Named("MUSIC3 57Hz"), 13);
    Preset(*sim, Named("EFF1 REV Dly"), 30);
    Preset(*sim, Named("input"), 2);
    Preset(*sim, Named("MIC max"), 66);
    const ToolRun verify = Tool({QStringLiteral("verify"), file, sim->Path()});
    QCOMPARE(verify.status, 1);
    const QString name = QFileInfo(sim->Path()).path().section(QLatin1Char('/'), -1) + QLatin1Char('_')
        + QFileInfo(sim->Path()).fileName();
    for (const char *line : {": MUSIC3 57Hz: file 0dB (10), unit +3dB (13)", ": EFF1 REV Dly: file 20ms (20), unit 30ms (30)",
                             ": input: file BGM (1), unit AUX (2)", ": MIC max: file 80 (80), unit 66 (66)"})
        QVERIFY2(verify.out.contains(name + QLatin1String(line)), qPrintable(verify.out));
    QCOMPARE(verify.out.count(QStringLiteral(" (")), 8);

    const ToolRun diff = Tool({QStringLiteral("diff"), sim->Path(), other->Path(), QStringLiteral("--json")});
    QCOMPARE(diff.status, 1);
    const QJsonArray differences =
        QJsonDocument::fromJson(diff.out.toUtf8())[QStringLiteral("units")][0][QStringLiteral("differences")].toArray();
    QCOMPARE(differences.size(), 4);
    QCOMPARE(differences[1][QStringLiteral("setting")].toString(), QStringLiteral("EFF1 REV Dly"));
    QCOMPARE(differences[1][QStringLiteral("first")][QStringLiteral("shown")].toString(), QStringLiteral("30ms"));
    QCOMPARE(differences[1][QStringLiteral("second")][QStringLiteral("raw")].toInt(), 20);
    QCOMPARE(Tool({QStringLiteral("diff"), file, file}).status, 0);
}

void TestQuorinctl::getAndSetByName()
{
    auto sim = Sim();
    QVERIFY(sim);
    const ToolRun set = Tool({QStringLiteral("set"), sim->Path(), QStringLiteral("KTV2 Echo-A Dly=184ms"),
                              QStringLiteral("mute=on"), QStringLiteral("mute=OFF"), QStringLiteral("MUS mode=MUS4")});
    QCOMPARE(set.status, 0);
    QCOMPARE(sim->Processor().Value(ParamBlock::EffectParam, 1, 80), quint8(14));
    QCOMPARE(sim->Processor().Value(ParamBlock::ChannelMode, 0, 0), quint8(3));
    QCOMPARE(sim->Received().mid(6, 6), QByteArray::fromHex("cd020201500e"));
    const ToolRun get = Tool({QStringLiteral("get"), sim->Path(), QStringLiteral("ktv2 echo-a dly"), QStringLiteral("MUS mode")});
    QCOMPARE(get.status, 0);
    QVERIFY2(get.out.contains(QStringLiteral("KTV2 Echo-A Dly = 184ms (14)")) && get.out.contains(QStringLiteral("MUS mode = MUS4 (3)")),
             qPrintable(get.out));

    // Live settings: a volume is held at the power-on maximum the unit holds, the key is
    // checked, a program choice sends that memory as the editor's list does.
    Preset(*sim, Named("MIC max"), 60);
    const qsizetype before = sim->Received().size();
    const ToolRun live = Tool({QStringLiteral("set"), sim->Path(), QStringLiteral("MIC volume=75"), QStringLiteral("key=#2"),
                               QStringLiteral("program=EFF2")});
    QCOMPARE(live.status, 0);
    const QByteArray frames = sim->Received().mid(before);
    QCOMPARE(frames.mid(6, 18), QByteArray::fromHex("cd0105000100" "cd020600013c" "cd020b000007"));
    QCOMPARE(frames.size(), 6 * (1 + 2 + 1 + 2 * EffParamCount));
    QCOMPARE(frames.right(6), QByteArray::fromHex("cd020215") + char(EffParams[9].address) + char(80));
    QVERIFY2(live.out.contains(QStringLiteral("MIC volume = 60 (60)")), qPrintable(live.out));
    QCOMPARE(Tool({QStringLiteral("get"), sim->Path(), QStringLiteral("key")}).status, 2);
}

void TestQuorinctl::venueBackupThroughServers()
{
    QVERIFY(Ser2Net::Available());
    QTemporaryDir dir;
    auto raw = Sim();
    auto telnet = Sim();
    QVERIFY(raw && telnet);
    Preset(*raw, Named("KTV1 Echo-B L&R"), 0xFF);  // through RFC 2217 as well, where 0xFF is escaped
    Preset(*telnet, Named("KTV1 Echo-B L&R"), 0xFF);
    const QString direct = dir.filePath(QStringLiteral("direct.txt"));
    QCOMPARE(Tool({QStringLiteral("backup"), raw->Path(), direct}).status, 0);

    Ser2Net server({{raw->Path(), false}, {telnet->Path(), true}});
    QVERIFY(server.Start());
    const QString out = dir.filePath(QStringLiteral("venue"));
    const ToolRun run = Tool({QStringLiteral("backup"), QStringLiteral("--out"), out, server.Entry(0), server.Entry(1)});
    QCOMPARE(run.status, 0);
    const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 2);
    QFile expected(direct);
    QVERIFY(expected.open(QIODevice::ReadOnly));
    const QByteArray bytes = expected.readAll();
    QVERIFY(bytes.contains("\r\nKtv0.5=255\r\n"));
    for (const QString &name : files) {
        QFile file(QDir(out).filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }
}

void TestQuorinctl::usageErrors()
{
    auto sim = Sim();
    QVERIFY(sim);
    const QString unit = sim->Path();
    for (const QStringList &args : {QStringList{}, {QStringLiteral("frobnicate")}, {QStringLiteral("backup"), unit},
                                    {QStringLiteral("get"), unit, QStringLiteral("MUSIC9 57Hz")},
                                    {QStringLiteral("set"), unit, QStringLiteral("MIC max=81")},
                                    {QStringLiteral("probe"), QStringLiteral("tcp://room7")}})
        QVERIFY2(Tool(args).status == 2, qPrintable(args.join(QLatin1Char(' '))));
    QVERIFY(sim->Received().isEmpty());

    // A unit the editor (or another run) holds is refused, never shared.
    ProgramState holder;
    holder.port.SetPortList(QStringList{unit});
    QVERIFY(holder.port.OpenPort(QStringLiteral("1")));
    const ToolRun held = Tool({QStringLiteral("probe"), unit});
    QCOMPARE(held.status, 3);
    QVERIFY(held.out.contains(QStringLiteral("in use by another program")));
    QVERIFY(sim->Received().isEmpty());

    // Each way of failing has its own code, not a message to parse.
    const ToolRun faults = Tool({QStringLiteral("probe"), QStringLiteral("--json"), unit, QStringLiteral("/dev/no-such-tty"),
                                 QStringLiteral("tcp://127.0.0.1:%1").arg(Ser2Net::FreePort())});
    const QJsonArray codes = QJsonDocument::fromJson(faults.out.toUtf8())[QStringLiteral("units")].toArray();
    QCOMPARE(codes.size(), 3);
    QCOMPARE(codes[0][QStringLiteral("code")].toString(), QStringLiteral("busy"));
    QCOMPARE(codes[1][QStringLiteral("code")].toString(), QStringLiteral("missing"));
    QCOMPARE(codes[2][QStringLiteral("code")].toString(), QStringLiteral("unreachable"));
}

// Two units with one name would share one backup file; a name with a path in it writes
// outside the folder. Either is refused before any unit is reached.
void TestQuorinctl::unitsFileNamesAreUniqueFileNames()
{
    auto sim = Sim();
    QVERIFY(sim);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    const auto refused = [&](const QString &lines, const QString &reason) {
        QFile file(dir.filePath(QStringLiteral("venue.units")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write((lines.contains(QLatin1String("%1")) ? lines.arg(sim->Path()) : lines).toUtf8());
        file.close();
        const ToolRun run = Tool({QStringLiteral("--units"), file.fileName(), QStringLiteral("backup"),
                                  QStringLiteral("--out"), out});
        QVERIFY2(run.status == 2, qPrintable(lines));
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    };
    refused(QStringLiteral("# venue\nroom7 %1\n\nroom7 tcp://127.0.0.1:1\n"),
            QStringLiteral("venue.units:4 (tcp://127.0.0.1:1) have the same name \"room7\""));
    refused(QStringLiteral("../../escaped %1\n"), QStringLiteral("venue.units:1: the name \"../../escaped\" holds a slash"));
    refused(QStringLiteral("room7 %1\n.. tcp://127.0.0.1:1\n"), QStringLiteral("venue.units:2: the name \"..\" holds \"..\""));
    refused(QStringLiteral("-rf %1\n"), QStringLiteral("venue.units:1: the name \"-rf\" starts with \"-\""));
    refused(QStringLiteral("room\u00077 %1\n"), QStringLiteral("venue.units:1: the name holds a control character (U+0007)"));
    refused(QStringLiteral("tcp://127.0.0.1:4001\nrfc2217://127.0.0.1:4001\n"), QStringLiteral("same name \"127.0.0.1_4001\""));
    QVERIFY(sim->Received().isEmpty());
    QVERIFY(!QFileInfo::exists(out));
}

// SIGTERM (systemctl stop) and SIGHUP stop as Ctrl+C does, after the frame in progress;
// a second interrupt reports at once instead of waiting out a silent unit's deadline.
void TestQuorinctl::signalsStopTheUnitsAndReport()
{
    for (const QList<int> &sent : {QList<int>{SIGTERM}, QList<int>{SIGHUP}, QList<int>{SIGINT, SIGINT}}) {
        SimOptions silent;
        silent.silentAfter = 3;
        auto sim = Sim(silent);
        QVERIFY(sim);
        QTemporaryDir dir;
        QProcess tool;
        tool.start(QStringLiteral(QUORINCTL), {QStringLiteral("backup"), sim->Path(), dir.filePath(QStringLiteral("b.txt"))});
        QVERIFY(tool.waitForStarted(5000));
        QTRY_VERIFY(sim->Processor().FramesReceived() >= 3);
        QElapsedTimer clock;
        clock.start();
        for (int sig : sent) {
            ::kill(pid_t(tool.processId()), sig);
            QTest::qWait(100);
        }
        QTRY_VERIFY_WITH_TIMEOUT(tool.state() == QProcess::NotRunning, 8000);
        const QString out = QString::fromLocal8Bit(tool.readAllStandardOutput());
        QCOMPARE(tool.exitCode(), 3);
        QVERIFY2(out.contains(QStringLiteral(" stopped ")), qPrintable(out));
        if (sent.size() == 2)
            QVERIFY2(clock.elapsed() < 1500 && out.contains(QStringLiteral("interrupted")), qPrintable(out));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("b.txt"))));
    }
}

QTEST_GUILESS_MAIN(TestQuorinctl)
#include "tst_quorinctl.moc"
