#include "BulkTransfer.h"
#include "PortEntry.h"
#include "SearchingEditor.h"
#include "NetworkTransport.h"
#include "Ser2Net.h"
#include "SettingCommand.h"
#include "TelnetCodec.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A read of everything, over a link that is already connected; the frames the processor received.
QByteArray ReadAll(CommandLayer &commands, SimulatorTerminal &sim, SettingsSnapshot &settings)
{
    const qsizetype before = sim.Received().size();
    ReadAllFromDevice(commands, settings);
    return sim.Received().mid(before);
}

// A device server that speaks RFC 2217 as told: it may keep its own baud rate or
// refuse 8-bit data, or, instead of answering, pour out what flood gives.
class ScriptedServer : public QTcpServer
{
public:
    quint32 baud = 9600;
    bool binary = true;
    QByteArray flood;

    ScriptedServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *client = nextPendingConnection();
            if (!flood.isEmpty()) {
                // Once the client has settled, as a server gone wrong later would.
                QTimer::singleShot(200, client, [this, client] { client->write(flood); });
                return;
            }
            connect(client, &QTcpSocket::readyRead, client, [this, client] { Answer(client); });
        });
    }
    QString Entry(const char *kind = "rfc2217") const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(kind)).arg(serverPort());
    }

private:
    void Answer(QTcpSocket *client)
    {
        decoder.Feed(client->readAll());
        QByteArray out;
        for (const auto &n : std::as_const(decoder.negotiations)) {
            const bool yes = n.option != Telnet::Binary || binary;
            const quint8 verb = n.verb == Telnet::DO ? (yes ? Telnet::WILL : Telnet::WONT)
                                                     : (yes ? Telnet::DO : Telnet::DONT);
            if (n.verb == Telnet::DO || n.verb == Telnet::WILL)
                out += QByteArray() + char(Telnet::IAC) + char(verb) + char(n.option);
        }
        for (const auto &sub : std::as_const(decoder.subnegotiations)) {
            QByteArray value = sub.body.mid(1);
            if (quint8(sub.body.at(0)) == Telnet::SetBaudRate)
                qToBigEndian(baud, value.data());
            out += Telnet::ComPortCommand(quint8(sub.body.at(0)) + Telnet::ServerReply, value);
        }
        decoder.negotiations.clear();
        decoder.subnegotiations.clear();
        client->write(out);
    }
    Telnet::Decoder decoder;
};

// Megabytes of what a broken or hostile server might send.
QByteArray HostileBytes()
{
    const auto command = [](std::initializer_list<quint8> bytes) {
        QByteArray b;
        for (quint8 x : bytes)
            b += char(x);
        return b;
    };
    QByteArray bytes = command({Telnet::IAC, Telnet::SB, Telnet::ComPortOption}) + QByteArray(1 << 20, 'x');
    bytes += command({Telnet::IAC, Telnet::SE}) + command({Telnet::IAC, 241}).repeated(200000);
    for (int i = 0; i < 10000; ++i)
        bytes += command({Telnet::IAC, quint8(Telnet::WILL + i % 4), quint8(i % 256)});
    for (int i = 0; i < 1000; ++i)
        bytes += command({Telnet::IAC, Telnet::SB, Telnet::ComPortOption, 101, 0, 0, 0x4b, 0, Telnet::IAC, Telnet::SE});
    QByteArray noise(1 << 20, '\0');
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    return bytes + noise;
}

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void entries_data();
    void entries();
    void processorThroughServer_data();
    void processorThroughServer();
    void stoppedServerIsReportedOnceAndFoundAgain();
    void unreachableServersCostAtMostTheDeadline();
    void busyServerPortIsSkipped();
    void closedServerIsReportedAtOnce();
    void hostileServerCannotGrowMemory();
    void unconfirmedLineSettingsAreRefused();
};

void TestNetwork::initTestCase()
{
    QVERIFY2(Ser2Net::Available(), "ser2net is not installed");
}

void TestNetwork::entries_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("error");
    QTest::newRow("devices, colons") << "/dev/ttyUSB0::/dev/ttyS1" << QStringList{"/dev/ttyUSB0", "/dev/ttyS1"} << "";
    QTest::newRow("mixed, commas") << " tcp://room7.local:4001 , rfc2217://[::1]:2217,/dev/ttyS0,"
                                   << QStringList{"tcp://room7.local:4001", "rfc2217://[::1]:2217", "/dev/ttyS0"} << "";
    QTest::newRow("no scheme") << "192.168.1.20:4001" << QStringList{} << "tcp://HOST:PORT or rfc2217://";
    QTest::newRow("no scheme, commas") << "tcp://a:1,b:2" << QStringList{} << "tcp://b:2 or rfc2217://b:2";
    QTest::newRow("unknown kind") << "telnet://a:23" << QStringList{} << "unknown kind \"telnet\"";
    QTest::newRow("bad host") << "tcp://a_b:23" << QStringList{} << "\"a_b\" is no host name";
    QTest::newRow("bare IPv6") << "tcp://::1:23" << QStringList{} << "brackets";
    QTest::newRow("bad IPv6") << "tcp://[1::x]:23" << QStringList{} << "no IPv6 address";
    QTest::newRow("no port") << "rfc2217://a" << QStringList{} << "port number is missing";
    QTest::newRow("port 0") << "tcp://a:0" << QStringList{} << "\"0\" is no port number";
    QTest::newRow("port too big") << "tcp://a:65536" << QStringList{} << "\"65536\" is no port number";
}

void TestNetwork::entries()
{
    QFETCH(QString, list);
    QFETCH(QStringList, entries);
    QFETCH(QString, error);
    QString reason;
    const std::optional<QStringList> parsed = ParsePortList(list, &reason);
    QCOMPARE(parsed.has_value(), error.isEmpty());
    if (parsed)
        QCOMPARE(*parsed, entries);
    else
        QVERIFY2(reason.contains(error), qPrintable(reason));
}

void TestNetwork::processorThroughServer_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("raw TCP") << false;
    QTest::newRow("RFC 2217") << true;
}

// Found, kept, read and written as on a local port; over RFC 2217 the line is set to 9600 8N1.
void TestNetwork::processorThroughServer()
{
    QFETCH(bool, rfc2217);
    auto sim = StartSim();
    QVERIFY(sim);

    // What a local port carries, for comparison.
    QByteArray directFrames;
    {
        SearchingEditor direct;
        direct.state.port.SetPortList(QStringList{sim->Path()});
        direct.manager.ConnectDevice();
        QVERIFY(direct.manager.IsConnected());
        SettingsSnapshot settings;
        directFrames = ReadAll(direct.commands, *sim, settings);
        direct.state.port.ClosePort();
    }

    Ser2Net server({{sim->Path(), rfc2217, rfc2217 ? QStringLiteral("19200n81") : QStringLiteral("9600n81")}});
    QVERIFY(server.Start());
    SearchingEditor remote;
    remote.state.port.SetPortList(QStringList{QStringLiteral("/nonexistent/ttyQ0"), server.Entry(0)});
    remote.manager.ConnectDevice();
    QVERIFY(remote.manager.IsConnected());
    QCOMPARE(remote.statuses, QStringList{"connected"});
    if (rfc2217)
        QCOMPARE(sim->LineSettings(), QStringLiteral("9600 8N1"));

    const int syncs = sim->Processor().SyncsReceived();
    remote.manager.Timer3_Timer();
    QTRY_VERIFY(!remote.manager.Timer4.isActive());
    QCOMPARE(sim->Processor().SyncsReceived(), syncs + 1);

    // 0xFF both ways: in an upload value, and in the reply that reads it back.
    SettingsSnapshot written;
    written.music[2][5] = 0xFF;
    written.eff[1][0] = 0xFF;
    QCOMPARE(UploadAllToDevice(remote.commands, written), TransferOutcome::Complete);
    SettingsSnapshot read;
    QCOMPARE(ReadAll(remote.commands, *sim, read), directFrames);
    QCOMPARE(read.music[2][5], quint8(0xFF));
    QCOMPARE(read.eff[1][0], quint8(0xFF));
    QVERIFY(remote.manager.IsConnected());
    QVERIFY(remote.prompt.shown.isEmpty());
}

void TestNetwork::stoppedServerIsReportedOnceAndFoundAgain()
{
    auto sim = StartSim();
    QVERIFY(sim);
    auto server = std::make_unique<Ser2Net>(QList<Ser2Net::Line>{{sim->Path(), true}});
    QVERIFY(server->Start());
    const QString entry = server->Entry(0);
    SearchingEditor editor;
    editor.state.port.SetPortList(QStringList{entry});
    editor.manager.Start();
    QTRY_VERIFY_WITH_TIMEOUT(editor.manager.IsConnected(), 2000);

    const quint16 port = quint16(entry.section(QLatin1Char(':'), -1).toUInt());
    server.reset();
    editor.manager.Timer3_Timer();
    QTRY_VERIFY_WITH_TIMEOUT(!editor.manager.IsConnected(), 5000);
    QTest::qWait(2500);  // a search in between finds the server gone, silently
    QCOMPARE(editor.prompt.Texts(QStringLiteral("warn")),
             QStringList{LossReported});

    server = std::make_unique<Ser2Net>(QList<Ser2Net::Line>{{sim->Path(), true}});
    server->SetPort(0, port);
    QVERIFY(server->Start());
    QTRY_VERIFY_WITH_TIMEOUT(editor.manager.IsConnected(), 3000);
    QCOMPARE(editor.prompt.shown.size(), 1);
}

// A host that never completes the connection and a closed port, then the processor.
void TestNetwork::unreachableServersCostAtMostTheDeadline()
{
    // A listening socket that never accepts, its backlog already full: new connections hang.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0);
    QVERIFY(::listen(listener, 0) == 0);
    QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    const quint16 hanging = ntohs(address.sin_port);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(QHostAddress::LocalHost, hanging);
        fillers.back()->waitForConnected(200);
    }

    auto sim = StartSim();
    QVERIFY(sim);
    SearchingEditor editor;
    editor.state.port.SetPortList(QStringList{QStringLiteral("tcp://127.0.0.1:%1").arg(hanging),
                                              QStringLiteral("rfc2217://127.0.0.1:%1").arg(Ser2Net::FreePort()),
                                              QStringLiteral("tcp://no-such-host.invalid:4001"), sim->Path()});
    bool uiRan = false;
    QTimer::singleShot(300, [&] { uiRan = true; });
    QElapsedTimer clock;
    clock.start();
    editor.manager.ConnectDevice();
    const qint64 elapsed = clock.elapsed();
    ::close(listener);

    QVERIFY(editor.manager.IsConnected());
    QCOMPARE(editor.statuses, QStringList{"connected"});
    QVERIFY(editor.prompt.shown.isEmpty());
    QVERIFY(uiRan);
    // The hanging host costs the deadline; the rest fail at once, or within it when no name server answers.
    QVERIFY2(elapsed >= 650 && elapsed < 2000, qPrintable(QString::number(elapsed)));
}

void TestNetwork::busyServerPortIsSkipped()
{
    for (bool rfc2217 : {false, true}) {
        auto sim = StartSim();
        QVERIFY(sim);
        Ser2Net server({{sim->Path(), rfc2217}});
        QVERIFY(server.Start());
        SearchingEditor first;
        first.state.port.SetPortList(QStringList{server.Entry(0)});
        first.manager.ConnectDevice();
        QVERIFY(first.manager.IsConnected());

        SearchingEditor second;
        second.state.port.SetPortList(QStringList{server.Entry(0)});
        second.manager.ConnectDevice();
        QCOMPARE(second.statuses, QStringList{"not connected"});
        QVERIFY(!second.state.port.IsOpen());
        QCOMPARE(sim->Processor().FramesReceived(), 1);
    }
}

// A server that closes the connection ends a reply's wait, or an idle link, within
// 100 ms and once, not at the deadline; a silent server still costs the deadline.
void TestNetwork::closedServerIsReportedAtOnce()
{
    for (const bool waiting : {false, true}) {
        SimOptions options;
        options.silentAfter = waiting ? 1 : -1;
        auto sim = StartSim(options);
        QVERIFY(sim);
        auto server = std::make_unique<Ser2Net>(QList<Ser2Net::Line>{{sim->Path(), waiting}});
        QVERIFY(server->Start());
        SearchingEditor editor;
        editor.state.port.SetPortList(QStringList{server->Entry(0)});
        editor.manager.ConnectDevice();
        QVERIFY(editor.manager.IsConnected());
        QElapsedTimer clock;
        if (waiting) {
            QTimer::singleShot(300, [&] {
                server.reset();
                clock.start();
            });
            QVERIFY(!SendSetting(editor.commands, GetOp, ParamBlock::MuteSwitch, 0, 0, 0));
        } else {
            server.reset();
            clock.start();
            QTRY_VERIFY_WITH_TIMEOUT(!editor.manager.IsConnected(), 1000);
        }
        QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(200);
        QCOMPARE(editor.prompt.Texts(QStringLiteral("warn")),
                 QStringList{LossReported});
        QVERIFY(!editor.manager.IsConnected() && !editor.state.port.IsOpen());
    }
}

void TestNetwork::hostileServerCannotGrowMemory()
{
    const QByteArray hostile = HostileBytes();
    Telnet::Decoder decoder;
    for (qsizetype at = 0; at < hostile.size(); at += 4096) {
        decoder.Feed(hostile.mid(at, 4096));
        QVERIFY(decoder.Held() <= Telnet::Decoder::LongestSubnegotiation);
        QVERIFY(decoder.negotiations.size() <= Telnet::Decoder::MostKept);
        QVERIFY(decoder.subnegotiations.size() <= Telnet::Decoder::MostKept);
    }
    // Whatever state the noise left, a closing sequence ends it; then a good answer is understood.
    decoder.subnegotiations.clear();
    const QByteArray good = QByteArray::fromHex("fff0fff0fffa2c6500002580fff033");
    QVERIFY(decoder.Feed(good).endsWith('\x33'));
    QCOMPARE(decoder.subnegotiations.size(), 1);
    QCOMPARE(decoder.subnegotiations[0].body, QByteArray::fromHex("6500002580"));

    // Through real connections: the flood is refused over Telnet; over raw TCP what nobody
    // reads yet is bounded like a serial driver's queue, and the newest byte is kept.
    ScriptedServer server;
    server.flood = QByteArray::fromHex("fffb00fffb03fffd00fffd03") + hostile + QByteArray::fromHex("33");
    RS232Port port;
    port.SetPortList(QStringList{server.Entry()});
    QVERIFY(!port.OpenPort(QStringLiteral("1")) || !port.ConfigurePort(9600, 8));
    NetworkTransport raw(*ParsePortEntry(server.Entry("tcp")));
    QVERIFY(raw.Open());
    QTRY_VERIFY(raw.BytesAvailable() > 0 && server.findChildren<QTcpSocket *>().constLast()->bytesToWrite() == 0);
    QTest::qWait(100);
    QVERIFY(raw.BytesAvailable() <= 4096);
    QByteArray kept(int(raw.BytesAvailable()), '\0');
    raw.Read(kept.data(), kept.size());
    QCOMPARE(kept.right(1), QByteArray("\x33"));
}

// A server that keeps another speed, or will not carry 8-bit data, is a port that cannot be opened.
void TestNetwork::unconfirmedLineSettingsAreRefused()
{
    for (const bool keepsSpeed : {true, false}) {
        ScriptedServer server;
        server.baud = keepsSpeed ? 19200 : 9600;
        server.binary = keepsSpeed;
        RS232Port port;
        QSignalSpy refused(&port, &RS232Port::LineSettingsRefused);
        port.SetPortList(QStringList{server.Entry()});
        QVERIFY(port.OpenPort(QStringLiteral("1")));
        QVERIFY(!port.ConfigurePort(9600, 8));
        QVERIFY(!port.IsOpen());
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused[0][0].toString(), server.Entry());
        const QString answer = refused[0][1].toString();
        QVERIFY2(answer.contains(keepsSpeed ? QStringLiteral("1: 00 00 4b 00") : QStringLiteral("binary: no")),
                 qPrintable(answer));
    }
    ScriptedServer willing;
    RS232Port port;
    port.SetPortList(QStringList{willing.Entry()});
    QVERIFY(port.OpenPort(QStringLiteral("1")) && port.ConfigurePort(9600, 8));
}

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
