#include "TelnetCodec.h"

namespace Telnet {

QByteArray Escape(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size() + 2);
    for (char c : data) {
        out += c;
        if (quint8(c) == IAC)
            out += c;
    }
    return out;
}

QByteArray ComPortCommand(quint8 command, const QByteArray &value)
{
    QByteArray out;
    out += char(IAC);
    out += char(SB);
    out += char(ComPortOption);
    out += char(command);
    out += Escape(value);
    out += char(IAC);
    out += char(SE);
    return out;
}

QByteArray Decoder::Feed(const QByteArray &bytes)
{
    QByteArray data;
    for (char c : bytes) {
        const quint8 b = quint8(c);
        switch (state) {
        case State::Data:
            if (b == IAC)
                state = State::Command;
            else
                data += c;
            break;
        case State::Command:
            if (b == IAC) {
                data += c;
                state = State::Data;
            } else if (b == DO || b == DONT || b == WILL || b == WONT) {
                verb = b;
                state = State::Option;
            } else if (b == SB) {
                sub.clear();
                sub.squeeze();
                state = State::Sub;
            } else {
                state = State::Data;  // a command without an option (NOP, GA, ...)
            }
            break;
        case State::Option:
            if (negotiations.size() < MostKept)
                negotiations.append({verb, b});
            state = State::Data;
            break;
        case State::Sub:
            if (b == IAC)
                state = State::SubIac;
            else
                Keep(b);
            break;
        case State::SubIac:
            if (b == SE) {
                if (!sub.isEmpty() && subnegotiations.size() < MostKept)
                    subnegotiations.append({quint8(sub.at(0)), sub.mid(1)});
                sub.clear();
                state = State::Data;
            } else {
                Keep(b);  // IAC IAC inside: one 0xFF
            }
            break;
        case State::Discard:
            if (b == IAC)
                state = State::DiscardIac;
            break;
        case State::DiscardIac:
            state = b == SE ? State::Data : State::Discard;
            break;
        }
    }
    return data;
}

void Decoder::Keep(quint8 b)
{
    if (sub.size() >= LongestSubnegotiation) {
        sub.clear();
        sub.squeeze();
        state = State::Discard;
        return;
    }
    sub += char(b);
    state = State::Sub;
}

bool Options::WantedHere(quint8 option)
{
    return option == Binary || option == SuppressGoAhead || option == ComPortOption;
}

bool Options::WantedThere(quint8 option)
{
    return option == Binary || option == SuppressGoAhead;
}

QByteArray Options::Say(quint8 verb, quint8 option)
{
    return QByteArray() + char(IAC) + char(verb) + char(option);
}

QByteArray Options::Start()
{
    QByteArray offers;
    for (quint8 option : {Binary, SuppressGoAhead, ComPortOption}) {
        here.insert(option);
        offers += Say(WILL, option);
    }
    for (quint8 option : {Binary, SuppressGoAhead}) {
        there.insert(option);
        offers += Say(DO, option);
    }
    return offers;
}

QByteArray Options::Answer(const Decoder::Negotiation &negotiation)
{
    const quint8 option = negotiation.option;
    switch (negotiation.verb) {
    case DO:
        if (!WantedHere(option))
            return Say(WONT, option);
        agreedHere.insert(option);
        if (here.contains(option))
            return {};
        here.insert(option);
        return Say(WILL, option);
    case DONT:
        agreedHere.remove(option);
        return here.remove(option) ? Say(WONT, option) : QByteArray();
    case WILL:
        if (!WantedThere(option))
            return Say(DONT, option);
        agreedThere.insert(option);
        if (there.contains(option))
            return {};
        there.insert(option);
        return Say(DO, option);
    case WONT:
        agreedThere.remove(option);
        return there.remove(option) ? Say(DONT, option) : QByteArray();
    default:
        return {};
    }
}

} // namespace Telnet
