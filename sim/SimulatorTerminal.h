#pragma once

#include "SimulatedProcessor.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <deque>
#include <memory>

class QSocketNotifier;

// Serves a SimulatedProcessor on a pseudo-terminal (or a serial device) from the
// event loop of the thread that creates it, so that a test can run the editor's
// side and the processor in one thread.
class SimulatorTerminal : public QObject
{
    Q_OBJECT

public:
    explicit SimulatorTerminal(const SimOptions &options = {}, QObject *parent = nullptr);
    ~SimulatorTerminal() override;

    // Opens a new pseudo-terminal, or options.device when it is set. False with ErrorText on failure.
    bool Open();
    // Closes the line: the other end then sees its device vanish.
    void Close();
    bool IsOpen() const { return fd >= 0; }

    // The path the editor opens: the pseudo-terminal's slave, or the device.
    QString Path() const { return path; }
    QString ErrorText() const { return errorText; }
    SimulatedProcessor &Processor() { return *processor; }
    // Sends bytes of the test's choosing as if the processor had sent them.
    void SendRaw(const QByteArray &bytes);
    // The line as its other end last set it, such as "9600 8N1"; empty when closed.
    QString LineSettings() const;
    // Everything received so far, for tests that check exact bytes.
    const QByteArray &Received() const { return received; }

private:
    using Clock = std::chrono::steady_clock;

    bool OpenPseudoTerminal();
    bool OpenDevice();
    void ReadLine();
    void Transmit(const QByteArray &bytes, Clock::time_point ready);
    void SendDue();
    void SendKeyReset();
    void WriteNow(const QByteArray &bytes);

    SimOptions options;
    std::unique_ptr<SimulatedProcessor> processor;
    int fd = -1;
    // Our own hold on the slave keeps the master readable while the editor has it closed.
    int slaveFd = -1;
    QString path;
    QString errorText;
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray received;

    // Line-time emulation: when each direction of the line is free again.
    Clock::time_point receiveFree;
    Clock::time_point transmitFree;
    std::deque<std::pair<Clock::time_point, char>> outgoing;
    QTimer sendTimer;
    QTimer keyResetTimer;
};
