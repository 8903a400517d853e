#include "SimulatorTerminal.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Ten bits per byte at 9600 baud.
constexpr std::chrono::nanoseconds ByteTime(10 * 1000000000LL / 9600);

void MakeRaw(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return;
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    settings.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &settings);
}

} // namespace

SimulatorTerminal::SimulatorTerminal(const SimOptions &options, QObject *parent)
    : QObject(parent), options(options), processor(std::make_unique<SimulatedProcessor>(options))
{
    sendTimer.setSingleShot(true);
    sendTimer.setTimerType(Qt::PreciseTimer);
    connect(&sendTimer, &QTimer::timeout, this, &SimulatorTerminal::SendDue);
    connect(&keyResetTimer, &QTimer::timeout, this, &SimulatorTerminal::SendKeyReset);
    if (options.logFrames) {
        processor->OnFrame = [](const CommandFrame &f) {
            std::fprintf(stderr, "frame %02X %02X %02X %02X %02X %02X\n", f[0], f[1], f[2], f[3], f[4], f[5]);
        };
    }
}

SimulatorTerminal::~SimulatorTerminal()
{
    Close();
}

bool SimulatorTerminal::Open()
{
    Close();
    const bool opened = options.device.isEmpty() ? OpenPseudoTerminal() : OpenDevice();
    if (!opened) {
        Close();
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &SimulatorTerminal::ReadLine);
    receiveFree = transmitFree = Clock::now();
    if (options.keyResetEveryMs > 0)
        keyResetTimer.start(options.keyResetEveryMs);
    return true;
}

bool SimulatorTerminal::OpenPseudoTerminal()
{
    fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
        errorText = QStringLiteral("cannot create a pseudo-terminal: %1").arg(qt_error_string(errno));
        return false;
    }
    const char *name = ptsname(fd);
    if (!name) {
        errorText = QStringLiteral("pseudo-terminal without a name");
        return false;
    }
    path = QString::fromLocal8Bit(name);
    slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveFd < 0) {
        errorText = QStringLiteral("cannot open %1: %2").arg(path, qt_error_string(errno));
        return false;
    }
    // No echo and no line editing until the editor sets the line up itself.
    MakeRaw(slaveFd);
    return true;
}

bool SimulatorTerminal::OpenDevice()
{
    path = options.device;
    fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        errorText = QStringLiteral("cannot open %1: %2").arg(path, qt_error_string(errno));
        return false;
    }
    MakeRaw(fd);
    return true;
}

QString SimulatorTerminal::LineSettings() const
{
    termios settings{};
    if (tcgetattr(slaveFd >= 0 ? slaveFd : fd, &settings) != 0)
        return {};
    const std::pair<speed_t, int> speeds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},
                                              {B9600, 9600},   {B19200, 19200}, {B38400, 38400},
                                              {B57600, 57600}, {B115200, 115200}};
    int baud = 0;
    for (const auto &[code, rate] : speeds)
        if (cfgetospeed(&settings) == code)
            baud = rate;
    const tcflag_t size = settings.c_cflag & CSIZE;
    const int bits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
    const char parity = !(settings.c_cflag & PARENB) ? 'N' : (settings.c_cflag & PARODD) ? 'O' : 'E';
    return QStringLiteral("%1 %2%3%4").arg(baud).arg(bits).arg(QLatin1Char(parity))
        .arg((settings.c_cflag & CSTOPB) ? 2 : 1);
}

void SimulatorTerminal::Close()
{
    notifier.reset();
    sendTimer.stop();
    keyResetTimer.stop();
    outgoing.clear();
    if (slaveFd >= 0)
        ::close(slaveFd);
    if (fd >= 0)
        ::close(fd);
    slaveFd = fd = -1;
}

void SimulatorTerminal::ReadLine()
{
    char chunk[512];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) {
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // The device went away (a cable pulled); stop watching a line that only reports hangup.
        notifier->setEnabled(false);
        return;
    }
    received.append(chunk, got);
    for (ssize_t i = 0; i < got; ++i) {
        const Clock::time_point now = Clock::now();
        if (options.lineTime)
            receiveFree = std::max(receiveFree, now) + ByteTime;
        const QByteArray answer = processor->Receive(static_cast<quint8>(chunk[i]));
        if (!answer.isEmpty())
            Transmit(answer, options.lineTime ? receiveFree : now);
    }
}

void SimulatorTerminal::Transmit(const QByteArray &bytes, Clock::time_point ready)
{
    if (!options.lineTime) {
        WriteNow(bytes);
        return;
    }
    for (char byte : bytes) {
        transmitFree = std::max(transmitFree, ready) + ByteTime;
        outgoing.emplace_back(transmitFree, byte);
    }
    if (!sendTimer.isActive())
        SendDue();
}

void SimulatorTerminal::SendDue()
{
    using namespace std::chrono;
    while (!outgoing.empty()) {
        const Clock::time_point due = outgoing.front().first;
        const Clock::time_point now = Clock::now();
        if (due - now >= milliseconds(1)) {
            // Timers count whole milliseconds: wake a little early and sleep the rest.
            sendTimer.start(static_cast<int>(duration_cast<milliseconds>(due - now).count()));
            return;
        }
        if (due > now)
            std::this_thread::sleep_until(due);
        QByteArray bytes;
        while (!outgoing.empty() && outgoing.front().first <= Clock::now()) {
            bytes.append(outgoing.front().second);
            outgoing.pop_front();
        }
        WriteNow(bytes);
    }
}

void SimulatorTerminal::SendRaw(const QByteArray &bytes)
{
    Transmit(bytes, Clock::now());
}

void SimulatorTerminal::SendKeyReset()
{
    Transmit(QByteArray(1, char(KeyResetByte)), Clock::now());
}

void SimulatorTerminal::WriteNow(const QByteArray &bytes)
{
    if (fd < 0 || bytes.isEmpty())
        return;
    // A full line drops what does not fit, as a real line would lose it.
    const ssize_t written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    Q_UNUSED(written);
}
