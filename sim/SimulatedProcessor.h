#pragma once

#include "CommandFrame.h"
#include "SimOptions.h"

#include <QByteArray>
#include <functional>
#include <map>

// The processor's side of the protocol, without any transport: bytes in, answer bytes out.
// It keeps every memory and single setting, starting from the factory values.
// A get answers the stored value; 0xFC and 0xFE cannot travel as data, so a stored
// 252 or 254 is answered as 251 or 253.
class SimulatedProcessor
{
public:
    explicit SimulatedProcessor(const SimOptions &options = {});

    // Takes one byte from the line; returns what the processor answers to it (often nothing).
    QByteArray Receive(quint8 byte);

    // The stored value of a setting, as a get would name it.
    quint8 Value(ParamBlock block, quint8 selector, quint8 address) const;
    int FramesReceived() const { return framesReceived; }
    int SyncsReceived() const { return syncsReceived; }
    const SimOptions &Options() const { return options; }

    // From now on the processor answers nothing, heartbeats included, until Wake.
    void Silence() { silenced = true; }
    void Wake() { silenced = false; }

    // Called with every complete frame received.
    std::function<void(const CommandFrame &frame)> OnFrame;

private:
    QByteArray Answer(const CommandFrame &frame);
    void Store(quint8 block, quint8 selector, quint8 address, quint8 value);
    void LoadFactoryValues();
    bool Silent() const;

    SimOptions options;
    std::map<quint32, quint8> memory;
    CommandFrame pending = {};
    int pendingCount = 0;
    int framesReceived = 0;
    int syncsReceived = 0;
    bool silenced = false;
};
