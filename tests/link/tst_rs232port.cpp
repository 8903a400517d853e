#include "RS232Port.h"
#include "SimulatorTerminal.h"

#include <QTest>

class TestRS232Port : public QObject
{
    Q_OBJECT

private slots:
    void orderSerialDevices_data();
    void orderSerialDevices();
    void portNumbersAndLists();
    void pollsDeliverAtMostHundred();
    void configurePurgesEarlierBytes();
};

void TestRS232Port::orderSerialDevices_data()
{
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QStringList>("ordered");
    QTest::newRow("usb adapters first, numeric order")
        << QStringList{"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2"}
        << QStringList{"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS2", "/dev/ttyS10"};
    QTest::newRow("no usb") << QStringList{"/dev/ttyS1", "/dev/ttyAMA0", "/dev/ttyS0"}
                            << QStringList{"/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyS1"};
    QTest::newRow("empty") << QStringList{} << QStringList{};
}

void TestRS232Port::orderSerialDevices()
{
    QFETCH(QStringList, found);
    QFETCH(QStringList, ordered);
    QCOMPARE(OrderSerialDevices(found), ordered);
}

void TestRS232Port::portNumbersAndLists()
{
    const QStringList ports = PortListFromText(QStringLiteral("/dev/pts/7::/tmp/a b:/dev/ttyUSB0:"));
    QCOMPARE(ports, (QStringList{"/dev/pts/7", "/tmp/a b", "/dev/ttyUSB0"}));
    QCOMPARE(DeviceForPortNumber(QStringLiteral("1"), ports), QStringLiteral("/dev/pts/7"));
    QCOMPARE(DeviceForPortNumber(QStringLiteral("3"), ports), QStringLiteral("/dev/ttyUSB0"));
    for (const char *missing : {"0", "4", "12", "-1", "x", ""})
        QVERIFY2(DeviceForPortNumber(QString::fromLatin1(missing), ports).isEmpty(), missing);
    QVERIFY(PortListFromText(QString()).isEmpty());

    RS232Port port;
    port.SetPortList(ports);
    QVERIFY(!port.OpenPort(QStringLiteral("3")));  // listed, but no such device
    QVERIFY(!port.OpenPort(QStringLiteral("4")));  // not listed
    port.ClosePort();
    port.PollInput();
    QCOMPARE(port.BytesWaiting(), 0);
    quint8 buffer[8];
    QCOMPARE(port.ReadPort(buffer, 8), 0);
}

void TestRS232Port::pollsDeliverAtMostHundred()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    RS232Port port;
    port.SetPortList(QStringList{sim.Path()});
    QVERIFY(port.OpenPort(QStringLiteral("1")));
    QVERIFY(port.ConfigurePort(9600, 8));

    QByteArray sent;
    for (int i = 0; i < 250; ++i)
        sent.append(char(i));
    sim.SendRaw(sent);
    QTest::qWait(200);

    QByteArray got;
    QList<int> polls;
    quint8 buffer[501];
    for (int i = 0; i < 4; ++i) {
        port.PollInput();
        const qint32 n = port.ReadPort(buffer, port.BytesWaiting());
        polls << n;
        got.append(reinterpret_cast<const char *>(buffer), n);
    }
    QCOMPARE(polls, (QList<int>{100, 100, 50, 0}));
    QCOMPARE(got, sent);
}

void TestRS232Port::configurePurgesEarlierBytes()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    RS232Port port;
    port.SetPortList(QStringList{sim.Path()});
    QVERIFY(port.OpenPort(QStringLiteral("1")));
    sim.SendRaw(QByteArray(5, 'x'));
    QTest::qWait(50);
    QVERIFY(port.ConfigurePort(9600, 8));
    QTest::qWait(50);
    port.PollInput();
    QCOMPARE(port.BytesWaiting(), 0);
}

QTEST_GUILESS_MAIN(TestRS232Port)
#include "tst_rs232port.moc"
