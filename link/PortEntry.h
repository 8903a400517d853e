#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// One place the processor may be reached: a local serial device, or a serial
// device server on the network carrying the line over raw TCP or over Telnet
// with the COM-PORT-CONTROL option (RFC 2217).
struct PortEntry
{
    enum class Kind { Device, RawTcp, Rfc2217 };

    Kind kind = Kind::Device;
    QString device;     // Device: the path
    QString host;       // network kinds: a name or an address, without brackets
    quint16 port = 0;

    bool IsNetwork() const { return kind != Kind::Device; }
};

// "/dev/ttyUSB0", "tcp://HOST:PORT", "rfc2217://HOST:PORT" (HOST a name, an
// IPv4 address or an IPv6 address in brackets). Nothing, with the reason in
// *error, for anything else.
std::optional<PortEntry> ParsePortEntry(const QString &text, QString *error = nullptr);

// A list of entries as $QUORIN_PORTS or --ports give it: separated by commas,
// blanks around them ignored; a list without any "://" may also be separated
// by colons, as device lists always were. Nothing, with the reason in *error,
// when an entry is not one of the three kinds.
std::optional<QStringList> ParsePortList(const QString &text, QString *error = nullptr);

// How to write the entries, for help texts and error messages.
QString PortEntryForms();
