// Round trips of the real command layer against quorin-sim over a pseudo-terminal,
// with the early dispatch on new bytes and with the 15 ms tick alone; the full read
// through ser2net beside the same read on the terminal.

#include "BulkTransfer.h"
#include "CommandLayer.h"
#include "ProgramState.h"
#include "Ser2Net.h"
#include "SettingCommand.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A quorin-sim process and the editor's link opened on its terminal, or on another port that leads there.
class Session
{
public:
    explicit Session(const QStringList &simOptions)
    {
        sim.setProgram(QStringLiteral(QUORIN_SIM_PATH));
        sim.setArguments(simOptions);
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start();
        if (!sim.waitForReadyRead(5000))
            return;
        path = QString::fromLocal8Bit(sim.readLine()).trimmed();
        commands.ReportLoss = [] { std::fprintf(stderr, "warning: the unit stopped answering\n"); };
        Connect(path);
    }
    void Connect(const QString &entry)
    {
        state.port.ClosePort();
        state.port.SetPortList(QStringList{entry});
        ready = state.port.OpenPort(QStringLiteral("1")) && state.port.ConfigurePort(9600, 8);
        commands.IsConnected = ready;
    }
    ~Session()
    {
        state.port.ClosePort();
        sim.terminate();
        sim.waitForFinished(2000);
    }

    QProcess sim;
    ProgramState state;
    CommandLayer commands{state};
    QString path;
    bool ready = false;
};

void BulkRead(bool early)
{
    Session session({QStringLiteral("--line-time")});
    if (!session.ready) {
        std::printf("quorin-sim did not start\n");
        return;
    }
    session.commands.SetEarlyDispatch(early);
    const QList<const NamedSetting *> &gets = ReadOrder();
    QElapsedTimer clock;
    clock.start();
    for (const NamedSetting *g : gets)
        if (!SendSetting(session.commands, GetOp, g->Block(), g->Selector(), g->Address(), 0))
            return;
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double floor = gets.size() * 7 * 10 / 9600.0;
    std::printf("%-34s %3lld gets in %.3f s, ratio to the %.3f s floor %.3f\n",
                early ? "bulk read, early dispatch:" : "bulk read, 15 ms tick only:", qlonglong(gets.size()),
                seconds, floor, seconds / floor);
}

void RoundTrips(bool early)
{
    Session session({});
    if (!session.ready) {
        std::printf("quorin-sim did not start\n");
        return;
    }
    session.commands.SetEarlyDispatch(early);
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < 1000; ++i) {
        clock.start();
        if (!SendSetting(session.commands, SetOp, ParamBlock::ChannelVolume, 0, 1, quint8(i % 81)))
            return;
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s 1000 sets, median %.3f ms, 99th percentile %.3f ms\n",
                early ? "instant sets, early dispatch:" : "instant sets, 15 ms tick only:",
                ms[ms.size() / 2], ms[ms.size() * 99 / 100]);
}

// The complete read and upload as the push buttons run them, with line-time emulation.
void FullTransfers()
{
    Session session({QStringLiteral("--line-time")});
    if (!session.ready) {
        std::printf("quorin-sim did not start\n");
        return;
    }
    SettingsSnapshot settings;
    const double frameSeconds = 7 * 10 / 9600.0;  // six bytes out, one back

    QElapsedTimer clock;
    clock.start();
    ReadAllFromDevice(session.commands, settings);
    double seconds = clock.nsecsElapsed() / 1e9;
    double floor = ReadAllFrameCount * frameSeconds;
    std::printf("%-34s %3d frames in %.3f s, ratio to the %.3f s floor %.3f\n", "full read:",
                ReadAllFrameCount, seconds, floor, seconds / floor);

    // Mute is off, so the unit's 1.5 s pause belongs to the floor.
    clock.start();
    UploadAllToDevice(session.commands, settings);
    seconds = clock.nsecsElapsed() / 1e9;
    floor = UploadAllFrameCount * frameSeconds + 1.5;
    std::printf("%-34s %3d frames in %.3f s, ratio to the %.3f s floor %.3f\n", "full upload, unmuted:",
                UploadAllFrameCount, seconds, floor, seconds / floor);
}

// The full read on the terminal, then through ser2net over raw TCP and over RFC 2217.
void NetworkReads()
{
    Session session({QStringLiteral("--line-time")});
    if (!session.ready || !Ser2Net::Available()) {
        std::printf("quorin-sim did not start, or ser2net is missing\n");
        return;
    }
    const auto timedRead = [&session] {
        SettingsSnapshot settings;
        QElapsedTimer clock;
        clock.start();
        ReadAllFromDevice(session.commands, settings);
        return clock.nsecsElapsed() / 1e9;
    };
    const double direct = timedRead();
    std::printf("%-34s %3d frames in %.3f s\n", "full read, terminal:", ReadAllFrameCount, direct);
    for (auto [rfc2217, chardelay] : {std::pair{false, false}, {true, false}, {true, true}}) {
        session.state.port.ClosePort();
        Ser2Net::Line line{session.path, rfc2217};
        line.chardelay = chardelay;
        Ser2Net server({line});
        if (!server.Start()) {
            std::printf("ser2net did not start\n");
            return;
        }
        session.Connect(server.Entry(0));
        if (!session.ready) {
            std::printf("%s did not open\n", qPrintable(server.Entry(0)));
            return;
        }
        const double seconds = timedRead();
        const char *name = !rfc2217 ? "full read, ser2net raw TCP:"
                           : chardelay ? "full read, RFC 2217, chardelay on:"
                                       : "full read, ser2net RFC 2217:";
        std::printf("%-34s %3d frames in %.3f s, ratio to the terminal %.3f\n", name, ReadAllFrameCount, seconds,
                    seconds / direct);
        session.state.port.ClosePort();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    for (bool early : {true, false})
        BulkRead(early);
    for (bool early : {true, false})
        RoundTrips(early);
    FullTransfers();
    NetworkReads();
    return 0;
}
