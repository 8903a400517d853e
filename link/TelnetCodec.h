#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QtGlobal>

// Telnet as a serial device server speaks it (RFC 854 with RFC 2217's
// COM-PORT-CONTROL option): data bytes, with 0xFF doubled, between option
// negotiations and subnegotiations.
namespace Telnet {

constexpr quint8 IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr quint8 Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;

// RFC 2217 commands from the client; the server answers each with the code plus 100.
constexpr quint8 SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, PurgeData = 12;
constexpr quint8 ServerReply = 100;
constexpr quint8 ParityNone = 1, OneStopBit = 1, PurgeBothQueues = 3;

// Data for the line, every 0xFF doubled.
QByteArray Escape(const QByteArray &data);

// IAC SB COM-PORT-OPTION command value... IAC SE, with 0xFF in the value doubled.
QByteArray ComPortCommand(quint8 command, const QByteArray &value);

// Splits what the server sends into line data and Telnet commands, across reads.
class Decoder
{
public:
    struct Negotiation
    {
        quint8 verb;    // DO, DONT, WILL or WONT
        quint8 option;
    };
    struct Subnegotiation
    {
        quint8 option;
        QByteArray body;  // after the option byte, unescaped
    };

    // Line data found in bytes; the commands are collected below until taken.
    QByteArray Feed(const QByteArray &bytes);

    QList<Negotiation> negotiations;
    QList<Subnegotiation> subnegotiations;

private:
    enum class State { Data, Command, Option, Sub, SubIac };
    State state = State::Data;
    quint8 verb = 0;
    QByteArray sub;
};

// The options of a client that wants 8-bit data both ways, no go-aheads and the
// COM-PORT option on its own side; every other option is refused. It answers a
// request only when the request would change something, so that answers never loop.
class Options
{
public:
    // The offers a client opens with.
    QByteArray Start();
    // The answer to the server's negotiation, often nothing.
    QByteArray Answer(const Decoder::Negotiation &negotiation);

private:
    QByteArray Say(quint8 verb, quint8 option);
    static bool WantedHere(quint8 option);
    static bool WantedThere(quint8 option);

    QSet<quint8> here;   // options this side performs
    QSet<quint8> there;  // options the server performs
};

} // namespace Telnet
