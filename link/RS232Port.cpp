#include "RS232Port.h"

#include "NetworkTransport.h"
#include "PortEntry.h"
#include "SerialTransport.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace {

int DeviceGroup(const QString &path)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM")) ? 0 : 1;
}

// Splits "ttyS10" into ("ttyS", 10) so that ttyS2 sorts before ttyS10.
std::pair<QString, long long> NameAndNumber(const QString &path)
{
    static const QRegularExpression trailingDigits(QStringLiteral("^(.*?)(\\d+)$"));
    const QRegularExpressionMatch m = trailingDigits.match(path);
    if (!m.hasMatch())
        return {path, -1};
    return {m.captured(1), m.captured(2).toLongLong()};
}

} // namespace

QStringList OrderSerialDevices(QStringList devicePaths)
{
    std::stable_sort(devicePaths.begin(), devicePaths.end(), [](const QString &a, const QString &b) {
        const int ga = DeviceGroup(a), gb = DeviceGroup(b);
        if (ga != gb)
            return ga < gb;
        return NameAndNumber(a) < NameAndNumber(b);
    });
    return devicePaths;
}

QString DeviceForPortNumber(const QString &portNumber, const QStringList &ports)
{
    bool ok = false;
    const int n = portNumber.toInt(&ok);
    if (!ok || n < 1 || n > ports.size())
        return {};
    return ports.at(n - 1);
}

int ComPortNumber(const QString &name)
{
    static const QRegularExpression comPort(QStringLiteral("^COM([1-9]|1[0-2])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = comPort.match(name);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

RS232Port::RS232Port() = default;

RS232Port::~RS232Port() = default;

QStringList RS232Port::PortList() const
{
    if (explicitPorts)
        return *explicitPorts;
    QStringList paths;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    return OrderSerialDevices(paths);
}

bool RS232Port::IsOpen() const
{
    return transport && transport->IsOpen();
}

bool RS232Port::OpenPort(const QString &portNumber)
{
    ClosePort();
    // The old transport may be the one whose signal is being handled.
    if (transport)
        transport.release()->deleteLater();
    handle = -1;
    lastFault = PortFault::Missing;
    lastHolder = 0;
    lastRefusal.clear();
    openedEntry = DeviceForPortNumber(portNumber, PortList());
    const std::optional<PortEntry> entry = ParsePortEntry(openedEntry);
    if (!entry)
        return false;
    if (entry->IsNetwork())
        transport = std::make_unique<NetworkTransport>(*entry);
    else
        transport = std::make_unique<SerialTransport>(entry->device);
    connect(transport.get(), &PortTransport::BytesArrived, this, &RS232Port::BytesArrived);
    connect(transport.get(), &PortTransport::Lost, this, &RS232Port::Lost);
    const bool opened = transport->Open();
    handle = opened ? transport->Handle() : -1;
    lastFault = transport->Fault();
    lastHolder = transport->Holder();
    if (lastFault == PortFault::NotAllowed)
        emit PermissionDenied(entry->device);
    return opened;
}

bool RS232Port::ConfigurePort(qint32 baudRate, qint32 dataBits)
{
    if (!IsOpen())
        return false;
    if (transport->Configure(baudRate, dataBits))
        return true;
    lastFault = transport->Fault();
    lastRefusal = transport->Refusal();
    if (lastFault == PortFault::LineSettingsRefused && !lastRefusal.isEmpty())
        emit LineSettingsRefused(openedEntry, lastRefusal);
    return false;
}

void RS232Port::ClosePort()
{
    if (transport)
        transport->Close();
    bytesWaiting = 0;
}

void RS232Port::PollInput()
{
    bytesWaiting = IsOpen() ? static_cast<qint32>(std::min<qint64>(transport->BytesAvailable(), 100)) : 0;
}

qint32 RS232Port::ReadPort(quint8 *buffer, qint32 count)
{
    if (!IsOpen() || count <= 0)
        return 0;
    const qint64 got = transport->Read(reinterpret_cast<char *>(buffer), count);
    return got > 0 ? static_cast<qint32>(got) : 0;
}

void RS232Port::WritePort(const quint8 *buffer, qint32 count)
{
    if (!IsOpen() || count <= 0)
        return;
    transport->Write(reinterpret_cast<const char *>(buffer), count, 50 * count + 250);
}
