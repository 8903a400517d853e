#include "CommandLayer.h"
#include "ProgramState.h"
#include "PortClaim.h"
#include "PortEntry.h"
#include "RS232Port.h"
#include "SimulatorTerminal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

class TestRS232Port : public QObject
{
    Q_OBJECT

private slots:
    void orderSerialDevices_data();
    void orderSerialDevices();
    void portNumbersAndLists();
    void pollsDeliverAtMostHundred();
    void configurePurgesEarlierBytes();
    void portHeldByAnotherProgramIsRefused_data();
    void portHeldByAnotherProgramIsRefused();
    void staleLockFileIsTakenOver();
    void unpluggedDeviceCostsNoProcessorTime();
};

namespace {

double ProcessSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// A process id that no process has now.
qint64 UnusedProcessId()
{
    for (qint64 pid = 4000000; pid > 1000; --pid)
        if (kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            return pid;
    return 0;
}

} // namespace

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
    const QStringList ports = *ParsePortList(QStringLiteral("/dev/pts/7::/tmp/a b:/dev/ttyUSB0:"));
    QCOMPARE(ports, (QStringList{"/dev/pts/7", "/tmp/a b", "/dev/ttyUSB0"}));
    QCOMPARE(DeviceForPortNumber(QStringLiteral("1"), ports), QStringLiteral("/dev/pts/7"));
    QCOMPARE(DeviceForPortNumber(QStringLiteral("3"), ports), QStringLiteral("/dev/ttyUSB0"));
    for (const char *missing : {"0", "4", "12", "-1", "x", ""})
        QVERIFY2(DeviceForPortNumber(QString::fromLatin1(missing), ports).isEmpty(), missing);
    QVERIFY(ParsePortList(QString())->isEmpty());

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

void TestRS232Port::portHeldByAnotherProgramIsRefused_data()
{
    QTest::addColumn<QString>("holder");
    for (const char *holder : {"flock", "exclusive", "lockfile", "editor"})
        QTest::newRow(holder) << QString::fromLatin1(holder);
}

void TestRS232Port::portHeldByAnotherProgramIsRefused()
{
    QFETCH(QString, holder);
    if (holder == QLatin1String("lockfile") && !QFileInfo(QStringLiteral("/var/lock")).isWritable())
        QSKIP("/var/lock is not writable here");
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    QProcess other;
    other.start(QStringLiteral(PORT_HOLDER), {holder, sim.Path()});
    QVERIFY(other.waitForReadyRead(5000));
    QCOMPARE(other.readAll(), QByteArray("held\n"));

    RS232Port port;
    port.SetPortList(QStringList{sim.Path()});
    QVERIFY(!port.OpenPort(QStringLiteral("1")));
    QVERIFY(!port.IsOpen());
    if (holder == QLatin1String("lockfile")) {
        QCOMPARE(port.LastHolder(), other.processId());
        QCOMPARE(PortClaim::ProgramName(port.LastHolder()), QStringLiteral("port_holder"));
    }

    other.closeWriteChannel();
    QVERIFY(other.waitForFinished(5000));
    QVERIFY(port.OpenPort(QStringLiteral("1")));
    QVERIFY(port.ConfigurePort(9600, 8));

    // Now this program holds it, and the other is refused.
    QProcess second;
    second.start(QStringLiteral(PORT_HOLDER), {QStringLiteral("editor"), sim.Path()});
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitCode(), 1);
}

void TestRS232Port::staleLockFileIsTakenOver()
{
    if (!QFileInfo(QStringLiteral("/var/lock")).isWritable())
        QSKIP("/var/lock is not writable here");
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    QString below = sim.Path().mid(5);
    below.replace(QLatin1Char('/'), QLatin1Char('_'));
    QFile lock(QStringLiteral("/var/lock/LCK..") + below);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(UnusedProcessId()).rightJustified(10, ' ') + '\n');
    lock.close();
    // Its dead owner left the terminal in exclusive mode, kept by the simulator's hold on it.
    const int owner = ::open(QFile::encodeName(sim.Path()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(owner >= 0 && ::ioctl(owner, TIOCEXCL) == 0);
    ::close(owner);
    RS232Port port;
    port.SetPortList(QStringList{sim.Path()});
    QVERIFY(port.OpenPort(QStringLiteral("1")));
    port.ClosePort();
    QVERIFY(!QFile::exists(lock.fileName()));
}

void TestRS232Port::unpluggedDeviceCostsNoProcessorTime()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyUSB9"));
    ProgramState state;
    state.port.SetPortList(QStringList{link});
    CommandLayer dispatcher(state);
    for (int unplug = 0; unplug < 10; ++unplug) {
        SimulatorTerminal sim;
        QVERIFY(sim.Open());
        QVERIFY(QFile::link(sim.Path(), link));
        QVERIFY(state.port.OpenPort(QStringLiteral("1")));
        QVERIFY(state.port.ConfigurePort(9600, 8));
        sim.Close();
        QVERIFY(QFile::remove(link));

        const double before = ProcessSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(1500);
        const double share = (ProcessSeconds() - before) / (double(wall.elapsed()) / 1000.0);
        // A spinning read loop costs a whole core; the margin is for ASan on a loaded machine.
        QVERIFY2(share < 0.2, qPrintable(QStringLiteral("unplug %1: %2 of a core").arg(unplug).arg(share)));
        QVERIFY(!state.port.IsOpen());
    }
}

QTEST_GUILESS_MAIN(TestRS232Port)
#include "tst_rs232port.moc"
