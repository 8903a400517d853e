#pragma once

#include "PortTransport.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// "COM" n, n = 1 to 12, names the n-th device of the port list: USB adapters
// (ttyUSB, ttyACM) first, then the rest, each group in numeric order.
QStringList OrderSerialDevices(QStringList devicePaths);
// The device for "COM" followed by portNumber, or an empty text when the list has no such entry.
QString DeviceForPortNumber(const QString &portNumber, const QStringList &ports);

// n for "COM" n (any letter case, n = 1 to 12), 0 for anything else.
int ComPortNumber(const QString &name);

// The one serial port through which the program talks to the processor: a
// local device or a serial device server, as the port list names it.
// Reads never wait; every operation on a closed port fails quietly.
class RS232Port : public QObject
{
    Q_OBJECT

public:
    RS232Port();
    ~RS232Port() override;

    // An explicit port list replaces the system's serial devices.
    void SetPortList(std::optional<QStringList> ports) { explicitPorts = std::move(ports); }
    QStringList PortList() const;

    bool OpenPort(const QString &portNumber);
    bool ConfigurePort(qint32 baudRate, qint32 dataBits);
    void ClosePort();
    void PollInput();
    qint32 ReadPort(quint8 *buffer, qint32 count);
    void WritePort(const quint8 *buffer, qint32 count);

    qintptr PortHandle() const { return handle; }
    // Why the last OpenPort or ConfigurePort failed, who holds a busy port (0 when
    // not known) and what a device server answered to the line settings.
    PortFault LastFault() const { return lastFault; }
    qint64 LastHolder() const { return lastHolder; }
    QString LastRefusal() const { return lastRefusal; }
    qint32 BytesWaiting() const { return bytesWaiting; }
    bool IsOpen() const;

signals:
    // New bytes came in, for the command layer's early dispatch.
    void BytesArrived();
    // The open port's line is gone and the port closed: no reply can come any more.
    void Lost();
    // A serial device exists but this user may not open it.
    void PermissionDenied(const QString &devicePath);
    // A device server would not confirm the line settings; answer says what it did answer.
    void LineSettingsRefused(const QString &entry, const QString &answer);

private:
    std::unique_ptr<PortTransport> transport;
    std::optional<QStringList> explicitPorts;
    QString openedEntry;
    PortFault lastFault = PortFault::None;
    qint64 lastHolder = 0;
    QString lastRefusal;
    qintptr handle = -1;
    qint32 bytesWaiting = 0;
};
