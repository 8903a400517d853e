#include "RS232Port.h"

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

QStringList PortListFromText(const QString &text)
{
    return text.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

RS232Port::RS232Port() = default;

QStringList RS232Port::PortList() const
{
    if (explicitPorts)
        return *explicitPorts;
    QStringList paths;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    return OrderSerialDevices(paths);
}

bool RS232Port::OpenPort(const QString &portNumber)
{
    ClosePort();
    const QString device = DeviceForPortNumber(portNumber, PortList());
    if (device.isEmpty()) {
        handle = -1;
        return false;
    }
    serial.setPortName(device);
    const bool opened = serial.open(QIODevice::ReadWrite);
    handle = opened ? serial.handle() : -1;
    return opened;
}

bool RS232Port::ConfigurePort(qint32 baudRate, qint32 dataBits)
{
    if (!serial.isOpen())
        return false;
    serial.setReadBufferSize(4096);
    const bool lineSet = serial.setBaudRate(baudRate)
        && serial.setDataBits(static_cast<QSerialPort::DataBits>(static_cast<quint8>(dataBits)))
        && serial.setParity(QSerialPort::NoParity)
        && serial.setStopBits(QSerialPort::OneStop);
    if (!lineSet)
        return false;
    serial.clear(QSerialPort::AllDirections);
    return true;
}

void RS232Port::ClosePort()
{
    if (serial.isOpen())
        serial.close();
    bytesWaiting = 0;
}

void RS232Port::PollInput()
{
    if (!serial.isOpen()) {
        bytesWaiting = 0;
        return;
    }
    bytesWaiting = static_cast<qint32>(std::min<qint64>(serial.bytesAvailable(), 100));
}

qint32 RS232Port::ReadPort(quint8 *buffer, qint32 count)
{
    if (!serial.isOpen() || count <= 0)
        return 0;
    const qint64 got = serial.read(reinterpret_cast<char *>(buffer), count);
    return got > 0 ? static_cast<qint32>(got) : 0;
}

void RS232Port::WritePort(const quint8 *buffer, qint32 count)
{
    if (!serial.isOpen() || count <= 0)
        return;
    serial.write(reinterpret_cast<const char *>(buffer), count);
    // The bytes must be on the line before the caller may block the thread.
    serial.flush();
    if (serial.bytesToWrite() > 0)
        serial.waitForBytesWritten(50 * count + 250);
}
