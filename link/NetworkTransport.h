#pragma once

#include "PortEntry.h"
#include "PortTransport.h"
#include "TelnetCodec.h"

#include <QTcpSocket>

// The line of a serial device server, over raw TCP or over Telnet with RFC 2217.
// Opening and configuring wait with the event loop running, at most the probe
// deadline; a server that refuses, cannot be found, or answers the connection
// by closing it (a port another client holds) is a port that cannot be opened.
// A connection dropped later closes the port quietly, as an unplugged cable would.
class NetworkTransport : public PortTransport
{
    Q_OBJECT

public:
    explicit NetworkTransport(const PortEntry &entry, QObject *parent = nullptr);
    ~NetworkTransport() override;

    bool Open() override;
    bool Configure(qint32 baudRate, qint32 dataBits) override;
    void Close() override;
    bool IsOpen() const override { return open; }
    qint64 BytesAvailable() const override;
    qint64 Read(char *data, qint64 maxCount) override;
    void Write(const char *data, qint64 count, int timeoutMs) override;

private:
    bool Telnet() const { return entry.kind == PortEntry::Kind::Rfc2217; }
    bool ConfigureRemote(qint32 baudRate, qint32 dataBits);
    void Receive();
    void Dropped();
    // Runs the event loop until done() holds, the connection drops or ms pass; true when done.
    template <typename Done>
    bool WaitFor(Done done, int ms);

    PortEntry entry;
    QTcpSocket socket;
    bool open = false;
    Telnet::Decoder decoder;
    Telnet::Options options;
    QByteArray inbox;  // line data received, after Telnet is taken out
};
