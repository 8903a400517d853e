#include "BulkTransfer.h"
#include "CommandLayer.h"
#include "ConnectionManager.h"
#include "ProgramState.h"
#include "SettingCommand.h"
#include "MessageLog.h"
#include "SearchingEditor.h"
#include "SimulatorTerminal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class TestConnectionManager : public QObject
{
    Q_OBJECT

private slots:
    void search_data();
    void search();
    void searchStartsByItself();
    void heartbeat_data();
    void heartbeat();
    void vanishedProcessorIsReportedOnceAndFoundAgain();
    void lossIsReportedOnceWhileItsMessageStaysOpen();
    void teardownDuringASearch();
};

void TestConnectionManager::search_data()
{
    // Port kinds: "missing" (listed, no device), "silent", "wrong" (model 0x6F), "right".
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<int>("minimumMs");
    QTest::newRow("third port") << QStringList{"missing", "silent", "right"}
                                << QStringList{"connected"} << 700;
    QTest::newRow("after a wrong model") << QStringList{"wrong", "right"}
                                         << QStringList{"wrong model", "connected"} << 1000;
    QTest::newRow("nothing answers") << QStringList{"silent", "wrong", "missing"}
                                     << QStringList{"wrong model", "not connected"} << 1700;
    QTest::newRow("no ports") << QStringList{} << QStringList{"not connected"} << 0;
}

void TestConnectionManager::search()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, statuses);
    QFETCH(int, minimumMs);

    std::vector<std::unique_ptr<SimulatorTerminal>> sims;
    QStringList paths;
    for (const QString &kind : ports) {
        if (kind == QLatin1String("missing")) {
            paths << QStringLiteral("/nonexistent/ttyQ0");
            continue;
        }
        SimOptions options;
        if (kind == QLatin1String("silent"))
            options.silentAfter = 0;
        if (kind == QLatin1String("wrong"))
            options.modelCode = 0x6F;
        sims.push_back(StartSim(options));
        QVERIFY(sims.back());
        paths << sims.back()->Path();
    }

    SearchingEditor editor;
    editor.state.port.SetPortList(paths);
    QElapsedTimer clock;
    clock.start();
    editor.manager.ConnectDevice();
    const qint64 elapsed = clock.elapsed();

    const bool found = ports.contains(QLatin1String("right"));
    QCOMPARE(editor.statuses, statuses);
    QCOMPARE(editor.manager.IsConnected(), found);
    QCOMPARE(editor.state.port.IsOpen(), found);
    QCOMPARE(editor.editorStatesSent, found ? 1 : 0);
    QVERIFY(!editor.commands.IsProbing);
    QVERIFY(editor.prompt.shown.isEmpty());
    QVERIFY2(elapsed >= minimumMs && elapsed < minimumMs + 1500, qPrintable(QString::number(elapsed)));
    for (const auto &sim : sims)
        QCOMPARE(sim->Received(), QByteArray::fromHex("cde20000006e"));
}

void TestConnectionManager::searchStartsByItself()
{
    auto sim = StartSim();
    QVERIFY(sim);
    SearchingEditor editor;
    editor.state.port.SetPortList(QStringList{sim->Path()});
    editor.manager.Start();
    QCOMPARE(editor.statuses, QStringList{"not connected"});
    QCOMPARE(editor.manager.CommConnect.interval(), 100);
    QTRY_VERIFY_WITH_TIMEOUT(editor.manager.IsConnected(), 1000);
    QCOMPARE(editor.manager.CommConnect.interval(), 2000);
    QVERIFY(editor.manager.CommConnect.isActive());
    QVERIFY(editor.manager.Timer3.isActive());
    QCOMPARE(editor.manager.Timer3.interval(), 5000);
    QCOMPARE(editor.statuses.last(), QStringLiteral("connected"));
}

void TestConnectionManager::heartbeat_data()
{
    QTest::addColumn<bool>("answered");
    QTest::newRow("answered") << true;
    QTest::newRow("never answered") << false;
}

void TestConnectionManager::heartbeat()
{
    QFETCH(bool, answered);
    SimOptions options;
    options.heartbeat = answered;
    auto sim = StartSim(options);
    QVERIFY(sim);
    SearchingEditor editor;
    editor.state.port.SetPortList(QStringList{sim->Path()});
    editor.manager.ConnectDevice();
    QVERIFY(editor.manager.IsConnected());

    editor.manager.Timer3_Timer();
    QVERIFY(editor.manager.Timer4.isActive());
    QCOMPARE(editor.manager.Timer4.interval(), 4000);
    QTRY_COMPARE(sim->Processor().SyncsReceived(), 1);
    if (answered) {
        QTRY_VERIFY(!editor.manager.Timer4.isActive());
        QTest::qWait(4100);
        QVERIFY(editor.manager.IsConnected());
        QVERIFY(editor.prompt.shown.isEmpty());
        return;
    }
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!editor.manager.IsConnected(), 5000);
    QVERIFY2(clock.elapsed() >= 3900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(editor.statuses.last(), QStringLiteral("not connected"));
    QVERIFY(!editor.state.port.IsOpen());
    QVERIFY(!editor.manager.Timer4.isActive());
    QCOMPARE(editor.prompt.Texts(QStringLiteral("warn")),
             QStringList{LossReported});
}

void TestConnectionManager::vanishedProcessorIsReportedOnceAndFoundAgain()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyQuorin"));
    auto sim = StartSim();
    QVERIFY(sim);
    QVERIFY(QFile::link(sim->Path(), link));

    SearchingEditor editor;
    editor.state.port.SetPortList(QStringList{link});
    editor.manager.Start();
    QTRY_VERIFY_WITH_TIMEOUT(editor.manager.IsConnected(), 1000);

    // The processor's terminal goes away; the next heartbeat goes unanswered.
    sim.reset();
    editor.manager.Timer3_Timer();
    QTRY_VERIFY_WITH_TIMEOUT(!editor.manager.IsConnected(), 5000);
    QCOMPARE(editor.statuses.last(), QStringLiteral("not connected"));
    QTest::qWait(2500);  // at least one more search finds nothing, silently
    QCOMPARE(editor.prompt.shown.size(), 1);

    auto back = StartSim();
    QVERIFY(back);
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(back->Path(), link));
    QTRY_VERIFY_WITH_TIMEOUT(editor.manager.IsConnected(), 3000);
    QCOMPARE(editor.statuses.last(), QStringLiteral("connected"));
    QCOMPARE(editor.editorStatesSent, 2);
    QCOMPARE(editor.prompt.shown.size(), 1);
    QCOMPARE(editor.prompt.Texts(QStringLiteral("warn")),
             QStringList{LossReported});
}

void TestConnectionManager::lossIsReportedOnceWhileItsMessageStaysOpen()
{
    // The user leaves the time-out message open for ten seconds, long enough for two heartbeats.
    for (const bool bulk : {false, true}) {
        auto sim = StartSim();
        QVERIFY(sim);
        SearchingEditor editor;
        editor.prompt.warnOpenMs = 10000;
        editor.state.port.SetPortList(QStringList{sim->Path()});
        editor.manager.Start();
        QTRY_VERIFY_WITH_TIMEOUT(editor.manager.IsConnected(), 1000);

        sim->Processor().Silence();
        const int syncsBefore = sim->Processor().SyncsReceived();
        int syncsDuringMessage = -1;
        editor.commands.OnStatus = [&](LinkStatus status) {
            editor.statuses << StatusWord(status);
            if (status == LinkStatus::NotConnected && syncsDuringMessage < 0)
                syncsDuringMessage = sim->Processor().SyncsReceived();
        };
        if (bulk) {
            SettingsSnapshot table;
            ReadAllFromDevice(editor.commands, table);
        } else {
            QVERIFY(!SendSetting(editor.commands, SetOp, ParamBlock::ChannelVolume, 0, 0, 40));
        }
        QCOMPARE(editor.prompt.Texts(QStringLiteral("warn")),
                 QStringList{LossReported});
        QVERIFY(syncsDuringMessage >= syncsBefore);
        QCOMPARE(sim->Processor().SyncsReceived(), syncsDuringMessage);
        QVERIFY(!editor.manager.IsConnected());

        sim->Processor().Wake();
        QTRY_VERIFY_WITH_TIMEOUT(editor.manager.IsConnected(), 3000);
        QCOMPARE(editor.prompt.shown.size(), 1);
    }
}

void TestConnectionManager::teardownDuringASearch()
{
    SimOptions silent;
    silent.silentAfter = 0;
    auto sim = StartSim(silent);
    QVERIFY(sim);
    MessageLog prompt;
    ProgramState state;
    state.port.SetPortList(QStringList{sim->Path(), sim->Path()});
    auto *commands = new CommandLayer(state);
    commands->ReportLoss = [&prompt] { prompt.Warn(LossReported); };
    auto *manager = new ConnectionManager(state, *commands);
    QTimer::singleShot(200, [commands, manager] {
        delete manager;
        delete commands;
    });
    manager->ConnectDevice();
    QVERIFY(prompt.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestConnectionManager)
#include "tst_connectionmanager.moc"
