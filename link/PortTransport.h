#pragma once

#include <QObject>
#include <QString>

// Why a port could not be opened and set up.
enum class PortFault {
    None,
    Missing,              // no such device, entry or port number
    NotAllowed,           // this user may not open the device
    Busy,                 // another program holds it
    Unreachable,          // the device server does not answer or refuses the connection
    LineSettingsRefused,  // the device server would not take 9600 8N1 and binary both ways
};

// What carries the bytes of the serial line: a local device or a connection to a
// serial device server. The command layer sees only RS232Port, which holds one
// of these while a port is open. Reads never wait; writes are bounded.
class PortTransport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // False, with nothing reported, when the port does not exist, is held by
    // another program or cannot be reached.
    virtual bool Open() = 0;
    // 8N1 at baudRate, both queues discarded.
    virtual bool Configure(qint32 baudRate, qint32 dataBits) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual qint64 BytesAvailable() const = 0;
    virtual qint64 Read(char *data, qint64 maxCount) = 0;
    // Gives up after timeoutMs; the outcome is nobody's concern.
    virtual void Write(const char *data, qint64 count, int timeoutMs) = 0;
    virtual qintptr Handle() const { return -1; }
    // Why the last Open or Configure failed.
    PortFault Fault() const { return fault; }
    // The program holding the port, when Busy and its process is known; else 0.
    qint64 Holder() const { return holder; }
    // With LineSettingsRefused: what the far end answered instead.
    QString Refusal() const { return refusal; }

signals:
    void BytesArrived();
    // The line is gone while open (the server closed, the device vanished); the port is closed.
    void Lost();

protected:
    PortFault fault = PortFault::None;
    qint64 holder = 0;
    QString refusal;
};
