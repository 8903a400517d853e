#pragma once

#include "PortClaim.h"
#include "PortTransport.h"

#include <QSerialPort>

// A local serial device, never shared with another program. A device that
// fails while open (an unplugged adapter) is closed at once and quietly: the
// link's deadlines report the loss, and a vanished device is not polled in vain.
class SerialTransport : public PortTransport
{
    Q_OBJECT

public:
    explicit SerialTransport(const QString &devicePath, QObject *parent = nullptr);
    ~SerialTransport() override;

    bool Open() override;
    bool Configure(qint32 baudRate, qint32 dataBits) override;
    void Close() override;
    bool IsOpen() const override { return serial.isOpen(); }
    qint64 BytesAvailable() const override { return serial.bytesAvailable(); }
    qint64 Read(char *data, qint64 maxCount) override;
    void Write(const char *data, qint64 count, int timeoutMs) override;
    qintptr Handle() const override { return serial.handle(); }

private:
    void DeviceFailed(QSerialPort::SerialPortError error);

    QString devicePath;
    QSerialPort serial;
    PortClaim claim;
};
