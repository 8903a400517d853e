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
// What it keeps is bounded whatever a server sends: a subnegotiation longer than
// any the protocol defines is dropped, and commands beyond MostKept wait untaken
// are dropped too.
class Decoder
{
public:
    static constexpr int LongestSubnegotiation = 256;
    static constexpr int MostKept = 64;

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

    // Bytes of an unfinished subnegotiation held now.
    qsizetype Held() const { return sub.size(); }

private:
    enum class State { Data, Command, Option, Sub, SubIac, Discard, DiscardIac };
    void Keep(quint8 b);
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
    // The server has agreed to 8-bit data both ways.
    bool BinaryBothWays() const { return agreedHere.contains(Binary) && agreedThere.contains(Binary); }

private:
    QByteArray Say(quint8 verb, quint8 option);
    static bool WantedHere(quint8 option);
    static bool WantedThere(quint8 option);

    QSet<quint8> here;   // options this side performs
    QSet<quint8> there;  // options the server performs
    QSet<quint8> agreedHere;   // of those, what the server has said yes to
    QSet<quint8> agreedThere;
};

} // namespace Telnet
