#include "SerialTransport.h"

SerialTransport::SerialTransport(const QString &devicePath, QObject *parent)
    : PortTransport(parent), devicePath(devicePath)
{
    connect(&serial, &QSerialPort::readyRead, this, &PortTransport::BytesArrived);
    // Queued: the port is in the middle of its own read or write when it reports.
    connect(&serial, &QSerialPort::errorOccurred, this, &SerialTransport::DeviceFailed,
            Qt::QueuedConnection);
}

SerialTransport::~SerialTransport()
{
    Close();
}

bool SerialTransport::Open()
{
    Close();
    fault = PortFault::None;
    if (!claim.Claim(devicePath)) {
        fault = claim.Fault();
        holder = claim.Holder();
        return false;
    }
    serial.setPortName(devicePath);
    if (!serial.open(QIODevice::ReadWrite)) {
        fault = serial.error() == QSerialPort::PermissionError ? PortFault::NotAllowed
            : serial.error() == QSerialPort::DeviceNotFoundError ? PortFault::Missing
                                                                 : PortFault::Busy;
        claim.Release();
        return false;
    }
    return true;
}

bool SerialTransport::Configure(qint32 baudRate, qint32 dataBits)
{
    if (!serial.isOpen())
        return false;
    serial.setReadBufferSize(4096);
    const bool lineSet = serial.setBaudRate(baudRate)
        && serial.setDataBits(static_cast<QSerialPort::DataBits>(static_cast<quint8>(dataBits)))
        && serial.setParity(QSerialPort::NoParity)
        && serial.setStopBits(QSerialPort::OneStop);
    if (!lineSet) {
        fault = PortFault::LineSettingsRefused;
        return false;
    }
    serial.clear(QSerialPort::AllDirections);
    return true;
}

void SerialTransport::Close()
{
    if (serial.isOpen())
        serial.close();
    claim.Release();
}

qint64 SerialTransport::Read(char *data, qint64 maxCount)
{
    return serial.isOpen() ? serial.read(data, maxCount) : 0;
}

void SerialTransport::Write(const char *data, qint64 count, int timeoutMs)
{
    if (!serial.isOpen())
        return;
    serial.write(data, count);
    // The bytes must be on the line before the caller may block the thread.
    serial.flush();
    if (serial.isOpen() && serial.bytesToWrite() > 0)
        serial.waitForBytesWritten(timeoutMs);
}

void SerialTransport::DeviceFailed(QSerialPort::SerialPortError error)
{
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError;
    // A vanished device keeps reporting itself readable; watching it would spin.
    if (!lost || !serial.isOpen())
        return;
    Close();
    emit Lost();
}
