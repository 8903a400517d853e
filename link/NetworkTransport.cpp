#include "NetworkTransport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QTimer>
#include <QtEndian>
#include <memory>

namespace {
// As long as an identification may take: a server that does not answer costs no more.
constexpr int OpenDeadline = 700;
// A busy server port answers a new client with a banner and closes at once.
constexpr int SettleTime = 100;
constexpr int ConfigureDeadline = 700;
// A serial driver's receive queue holds about this much; a peer sending faster than
// anyone reads loses the excess rather than growing the program.
constexpr qsizetype InboxLimit = 4096;
// Answers to a server that does not read them are not piled up either.
constexpr qint64 UnsentAnswersLimit = 4096;

QString Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}
} // namespace

NetworkTransport::NetworkTransport(const PortEntry &entry, QObject *parent)
    : PortTransport(parent), entry(entry)
{
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(&socket, &QTcpSocket::readyRead, this, &NetworkTransport::Receive);
    connect(&socket, &QTcpSocket::disconnected, this, &NetworkTransport::Dropped);
    connect(&socket, &QTcpSocket::errorOccurred, this, [this] {
        if (socket.state() != QAbstractSocket::ConnectedState)
            Dropped();
    });
}

NetworkTransport::~NetworkTransport()
{
    socket.disconnect(this);
    socket.abort();
}

template <typename Done>
bool NetworkTransport::WaitFor(Done done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    const auto alive = std::make_shared<bool>(true);
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
    connect(&socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    while (!done()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0 || socket.state() == QAbstractSocket::UnconnectedState)
            return false;
        tick.start(int(left));
        loop.exec();
    }
    return true;
}

bool NetworkTransport::Open()
{
    Close();
    fault = PortFault::None;
    decoder = Telnet::Decoder();
    options = Telnet::Options();
    socket.connectToHost(entry.host, entry.port);
    const bool connected =
        WaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, OpenDeadline);
    if (!connected) {
        socket.abort();
        fault = PortFault::Unreachable;
        return false;
    }
    if (Telnet())
        socket.write(options.Start());
    // Only a busy port speaks first: it closes right after its banner, which is no line data.
    WaitFor([] { return false; }, SettleTime);
    if (socket.state() != QAbstractSocket::ConnectedState) {
        Close();
        fault = PortFault::Busy;
        return false;
    }
    inbox.clear();
    open = true;
    return true;
}

bool NetworkTransport::Configure(qint32 baudRate, qint32 dataBits)
{
    if (!open)
        return false;
    refusal.clear();
    if (Telnet() && !ConfigureRemote(baudRate, dataBits)) {
        Close();
        fault = refusal.isEmpty() ? PortFault::Unreachable : PortFault::LineSettingsRefused;
        return false;
    }
    Receive();
    inbox.clear();
    return true;
}

// The remote port takes the line settings and empties its queues. Each command is
// answered with the value the server now uses, which must be the one asked for;
// the line must also carry 8-bit data both ways.
bool NetworkTransport::ConfigureRemote(qint32 baudRate, qint32 dataBits)
{
    QByteArray baud(4, '\0');
    qToBigEndian(quint32(baudRate), baud.data());
    const QList<std::pair<quint8, QByteArray>> commands{
        {Telnet::SetBaudRate, baud},
        {Telnet::SetDataSize, QByteArray(1, char(dataBits))},
        {Telnet::SetParity, QByteArray(1, char(Telnet::ParityNone))},
        {Telnet::SetStopSize, QByteArray(1, char(Telnet::OneStopBit))},
        {Telnet::PurgeData, QByteArray(1, char(Telnet::PurgeBothQueues))}};
    QHash<quint8, QByteArray> wanted, answered;
    decoder.subnegotiations.clear();
    for (const auto &[command, value] : commands) {
        socket.write(Telnet::ComPortCommand(command, value));
        wanted.insert(quint8(command + Telnet::ServerReply), value);
    }
    socket.flush();
    const auto take = [&] {
        for (const auto &sub : std::as_const(decoder.subnegotiations))
            if (sub.option == Telnet::ComPortOption && !sub.body.isEmpty()
                && wanted.contains(quint8(sub.body.at(0))))
                answered.insert(quint8(sub.body.at(0)), sub.body.mid(1));
        decoder.subnegotiations.clear();
        return answered.size() == wanted.size() && options.BinaryBothWays();
    };
    if (WaitFor(take, ConfigureDeadline) && open) {
        bool same = true;
        for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
            same = same && (it.key() == Telnet::PurgeData + Telnet::ServerReply || answered.value(it.key()) == *it);
        if (same)
            return true;
    }
    if (!open)
        return false;  // the connection went: no answer to report
    // What the server said, for the one line that tells the user why the port is passed by.
    QStringList said;
    for (const auto &[command, value] : commands) {
        const quint8 reply = quint8(command + Telnet::ServerReply);
        said << QStringLiteral("%1: %2").arg(command).arg(answered.contains(reply) ? Hex(answered.value(reply))
                                                                                  : QStringLiteral("-"));
    }
    said << QStringLiteral("binary: %1").arg(options.BinaryBothWays() ? QStringLiteral("yes") : QStringLiteral("no"));
    refusal = said.join(QStringLiteral(", "));
    return false;
}

void NetworkTransport::Close()
{
    open = false;
    inbox.clear();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.abort();
}

void NetworkTransport::Receive()
{
    const QByteArray bytes = socket.readAll();
    if (bytes.isEmpty())
        return;
    if (!Telnet()) {
        inbox += bytes;
    } else {
        inbox += decoder.Feed(bytes);
        QByteArray answers;
        for (const Telnet::Decoder::Negotiation &n : std::as_const(decoder.negotiations))
            answers += options.Answer(n);
        decoder.negotiations.clear();
        if (!answers.isEmpty() && socket.bytesToWrite() < UnsentAnswersLimit)
            socket.write(answers);
    }
    if (inbox.size() > InboxLimit)
        inbox.remove(0, inbox.size() - InboxLimit);
    if (open && !inbox.isEmpty())
        emit BytesArrived();
}

void NetworkTransport::Dropped()
{
    if (!open)
        return;
    Close();
    emit Lost();
}

qint64 NetworkTransport::BytesAvailable() const
{
    return inbox.size();
}

qint64 NetworkTransport::Read(char *data, qint64 maxCount)
{
    const qint64 n = std::min<qint64>(maxCount, inbox.size());
    std::copy_n(inbox.constData(), n, data);
    inbox.remove(0, n);
    return n;
}

void NetworkTransport::Write(const char *data, qint64 count, int timeoutMs)
{
    if (!open)
        return;
    const QByteArray bytes(data, count);
    socket.write(Telnet() ? Telnet::Escape(bytes) : bytes);
    socket.flush();
    if (socket.bytesToWrite() > 0)
        socket.waitForBytesWritten(timeoutMs);
}
