#include "EditorFixture.h"
#include "SimulatorTerminal.h"

#include <QLabel>
#include <QTemporaryFile>
#include <QtTest>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// A serial device this user may not open: the search passes it by without a word
// to the window, and the user is told once how to be let in.
class TestPortPermission : public QObject
{
    Q_OBJECT

private slots:
    void refusedDeviceIsHintedOnceAndSearchGoesOn();
};

void TestPortPermission::refusedDeviceIsHintedOnceAndSearchGoesOn()
{
    SimulatorTerminal sim;
    QVERIFY(sim.Open());
    const QByteArray device = QFile::encodeName(sim.Path());
    QCOMPARE(::chmod(device.constData(), 0), 0);

    QTemporaryFile errors;
    QVERIFY(errors.open());
    const int savedStderr = ::dup(STDERR_FILENO);
    ::dup2(errors.handle(), STDERR_FILENO);
    {
        EditorFixture editor(MainFrm_Big, {sim.Path()});
        MainFrm &w = *editor.window;
        QTest::qWait(2500);  // two searches
        QCOMPARE(w.Label4->text(), QStringLiteral("未连接"));
        QVERIFY(editor.prompt.shown.isEmpty());
        QVERIFY2(w.Label4->toolTip().contains(QStringLiteral("sudo usermod -aG dialout $USER")),
                 qPrintable(w.Label4->toolTip()));

        QCOMPARE(::chmod(device.constData(), 0600), 0);
        QTRY_VERIFY_WITH_TIMEOUT(w.Commands.IsConnected, 5000);
    }
    std::fflush(stderr);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    errors.seek(0);
    const QString said = QString::fromLocal8Bit(errors.readAll());
    QCOMPARE(said.count(QStringLiteral("usermod")), 1);
    QVERIFY2(said.contains(sim.Path() + QStringLiteral(": permission denied")), qPrintable(said));
}

// The superuser opens every device; the test runs as nobody to be refused.
int main(int argc, char *argv[])
{
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
        return 1;
    QApplication app(argc, argv);
    TestPortPermission test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_port_permission.moc"
