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
                state = State::Sub;
            } else {
                state = State::Data;  // a command without an option (NOP, GA, ...)
            }
            break;
        case State::Option:
            negotiations.append({verb, b});
            state = State::Data;
            break;
        case State::Sub:
            if (b == IAC)
                state = State::SubIac;
            else
                sub += c;
            break;
        case State::SubIac:
            if (b == SE) {
                if (!sub.isEmpty())
                    subnegotiations.append({quint8(sub.at(0)), sub.mid(1)});
                state = State::Data;
            } else {
                sub += c;  // IAC IAC inside: one 0xFF
                state = State::Sub;
            }
            break;
        }
    }
    return data;
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
        if (here.contains(option))
            return {};
        if (!WantedHere(option))
            return Say(WONT, option);
        here.insert(option);
        return Say(WILL, option);
    case DONT:
        return here.remove(option) ? Say(WONT, option) : QByteArray();
    case WILL:
        if (there.contains(option))
            return {};
        if (!WantedThere(option))
            return Say(DONT, option);
        there.insert(option);
        return Say(DO, option);
    case WONT:
        return there.remove(option) ? Say(DONT, option) : QByteArray();
    default:
        return {};
    }
}

} // namespace Telnet
