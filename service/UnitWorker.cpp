#include "UnitWorker.h"

#include "BulkTransfer.h"
#include "CommandLayer.h"
#include "ConnectionManager.h"
#include "Metrics.h"
#include "ProgramState.h"
#include "RS232Port.h"
#include "LiveSettings.h"
#include "SettingCommand.h"
#include "SettingsFile.h"

QString OfflineReason(const OpenResult &result)
{
    switch (result.outcome) {
    case OpenOutcome::Identified:
        return {};
    case OpenOutcome::Missing:
        return QStringLiteral("no such device");
    case OpenOutcome::NotAllowed:
        return QStringLiteral("permission denied on the device");
    case OpenOutcome::Busy:
        if (result.holder <= 0)
            return QStringLiteral("the port is in use by another program");
        return result.holderName.isEmpty()
            ? QStringLiteral("the port is in use by another program (process %1)").arg(result.holder)
            : QStringLiteral("the port is in use by another program (process %1, %2)").arg(result.holder).arg(result.holderName);
    case OpenOutcome::Unreachable:
        return QStringLiteral("the device server cannot be reached");
    case OpenOutcome::LineSettingsRefused:
        return QStringLiteral("the device server does not confirm 9600 8N1: %1").arg(result.serverAnswer);
    case OpenOutcome::NoAnswer:
        return QStringLiteral("no answer to the identification");
    case OpenOutcome::WrongModel:
        break;
    }
    return QStringLiteral("another model answered (code 0x%1)").arg(result.model, 2, 16, QLatin1Char('0'));
}

UnitWorker::UnitWorker(const UnitConfig &config, const DriftCheck &drift, int driftMinutes, Metrics &metrics)
    : config(config), drift(drift), driftMinutes(driftMinutes), metrics(metrics), driftTimer(this), sceneTimer(this)
{
    if (!config.golden.isEmpty()) {
        const SettingsFileRead read = ReadSettingsFile(config.golden);
        if (read.outcome == SettingsFileRead::Outcome::Read)
            golden = read.settings;
    }
    current.since = QDateTime::currentDateTimeUtc();
    current.error = QStringLiteral("not connected yet");
}

UnitWorker::~UnitWorker() = default;

void UnitWorker::Start()
{
    state = std::make_unique<ProgramState>();
    // A COMn entry names a device once, as the system counts them when the service starts.
    const int com = ComPortNumber(config.port);
    state->port.SetPortList(QStringList{com == 0 ? config.port : DeviceForPortNumber(QString::number(com), state->port.PortList())});
    commands = std::make_unique<CommandLayer>(*state);
    commands->SetPolling(false);
    connection = std::make_unique<ConnectionManager>(*state, *commands);
    commands->OnStatus = [this](LinkStatus status) { LinkStatusChanged(status); };
    commands->ReportLoss = [this] { Lost(); };
    commands->OnReplyTime = [this](qint64 microseconds, bool answered) {
        if (answered)
            metrics.ReplyTime(microseconds);
    };
    // Connecting sends nothing: the unit keeps what it holds; its live settings and its
    // drift are looked at.
    connection->SendEditorState = [this] {
        QMetaObject::invokeMethod(this, &UnitWorker::LookAtLiveSettings, Qt::QueuedConnection);
        if (golden)
            QMetaObject::invokeMethod(this, &UnitWorker::CheckDrift, Qt::QueuedConnection);
    };
    driftTimer.setInterval(driftMinutes * 60 * 1000);
    connect(&driftTimer, &QTimer::timeout, this, &UnitWorker::CheckDrift);
    if (golden)
        driftTimer.start();
    // A scene modified at the unit's own panel is seen at the next read.
    sceneTimer.setInterval(SceneReadMs);
    connect(&sceneTimer, &QTimer::timeout, this, &UnitWorker::LookAtLiveSettings);
    connection->Start();
    Publish();
}

bool UnitWorker::Submit(Job job, const QString &owner, std::shared_ptr<std::atomic<bool>> left, bool quiet)
{
    {
        QMutexLocker lock(&counting);
        if (pending >= MostWaiting || waitingBy.value(owner) >= MostWaitingPerOwner)
            return false;
        ++pending;
        ++waitingBy[owner];
    }
    QMetaObject::invokeMethod(this, [this, job = std::move(job), owner, left, quiet] {
        queue.append({job, owner, left, quiet});
        RunNext();
    }, Qt::QueuedConnection);
    return true;
}

// The first job of the owner served longest ago, so that nobody's many jobs keep another out.
UnitWorker::Queued UnitWorker::TakeNext()
{
    qsizetype next = 0;
    for (qsizetype i = 1; i < queue.size(); ++i)
        if (lastServed.value(queue[i].owner) < lastServed.value(queue[next].owner))
            next = i;
    lastServed[queue[next].owner] = ++turn;
    if (lastServed.size() > 4 * MostWaiting)
        lastServed.removeIf([this](const auto &entry) { return entry.value() + 4 * MostWaiting < turn; });
    return queue.takeAt(next);
}

void UnitWorker::Done(const QString &owner)
{
    QMutexLocker lock(&counting);
    --pending;
    if (--waitingBy[owner] <= 0)
        waitingBy.remove(owner);
}

void UnitWorker::RunNext()
{
    // A job's waits run the event loop: jobs that come meanwhile wait their turn.
    if (running || queue.isEmpty())
        return;
    running = true;
    const Queued next = TakeNext();
    const bool online = commands->IsConnected && !stopping && !(next.left && *next.left);
    if (online && !next.quiet) {
        current.link = UnitState::Link::Busy;
        Publish();
    }
    next.job(online ? commands.get() : nullptr);
    Done(next.owner);
    running = false;
    if (current.link == UnitState::Link::Busy) {
        current.link = commands->IsConnected ? UnitState::Link::Online : UnitState::Link::Offline;
        Publish();
    }
    if (!queue.isEmpty())
        QMetaObject::invokeMethod(this, &UnitWorker::RunNext, Qt::QueuedConnection);
}

void UnitWorker::Publish()
{
    metrics.UnitUp(config.name, current.link != UnitState::Link::Offline);
    if (current.drift >= 0)
        metrics.UnitDrift(config.name, current.drift);
    emit StateChanged(config.name, current);
}

void UnitWorker::LinkStatusChanged(LinkStatus status)
{
    if (status == LinkStatus::Connected) {
        if (everConnected)
            metrics.Reconnected();
        everConnected = true;
        current.link = UnitState::Link::Online;
        current.model = ModelCode;
        current.since = QDateTime::currentDateTimeUtc();
        current.error.clear();
        Publish();
        return;
    }
    const QString why = status == LinkStatus::WrongModel || current.link == UnitState::Link::Offline
        ? OfflineReason(connection->LastAttempt())
        : QStringLiteral("the unit stopped answering");
    if (current.link != UnitState::Link::Offline || current.error != why) {
        if (current.link != UnitState::Link::Offline)
            current.since = QDateTime::currentDateTimeUtc();
        current.link = UnitState::Link::Offline;
        current.error = why;
        current.model = connection->LastAttempt().model;
        Publish();
    }
}

// The jobs waiting can no longer reach the unit: each fails at once.
void UnitWorker::Lost()
{
    current.link = UnitState::Link::Offline;
    current.since = QDateTime::currentDateTimeUtc();
    current.error = QStringLiteral("the unit stopped answering");
    Publish();
    const QList<Queued> failed = std::exchange(queue, {});
    for (const Queued &queued : failed) {
        queued.job(nullptr);
        Done(queued.owner);
    }
}

void UnitWorker::LookAtLiveSettings()
{
    Submit([this](CommandLayer *link) {
        if (!link)
            return;
        const auto get = [link](ParamBlock block, quint8 address, int &into) {
            if (!SendSetting(*link, GetOp, block, 0, address, 0))
                return false;
            into = link->ReplyBuffer[0];
            return true;
        };
        for (quint8 c = 0; c < 3; ++c)
            if (!get(ParamBlock::ChannelVolume, c, current.volume[c]) || !get(ParamBlock::ChannelMaximum, c, current.maximum[c]))
                return;
        if (!get(ParamBlock::MuteSwitch, 0, current.mute))
            return;
        for (int c = 0; c < 3; ++c)
            CompareWithScene(AllLiveSettings()[c].Name(), current.volume[c]);
        CompareWithScene(QStringLiteral("mute"), current.mute);
        Publish();
    });
}

void UnitWorker::CompareWithScene(const QString &setting, int value)
{
    if (sceneTargets.contains(setting) && !sceneFading.contains(setting) && sceneTargets[setting] != value)
        current.sceneModified = true;
}

void UnitWorker::Recalled(const QString &scene, const QHash<QString, int> &targets, const QStringList &fading)
{
    QMetaObject::invokeMethod(this, [this, scene, targets, fading] {
        current.scene = scene;
        current.sceneModified = false;
        sceneTargets = targets;
        sceneFading = fading;
        sceneTimer.start();
        Publish();
    }, Qt::QueuedConnection);
}

void UnitWorker::Settled(const QString &setting, int value)
{
    QMetaObject::invokeMethod(this, [this, setting, value] {
        if (!sceneFading.removeOne(setting))
            return;
        sceneTargets[setting] = value;
        CompareWithScene(setting, current.volume[std::size_t(FindLiveSetting(setting)->Channel())]);
        Publish();
    }, Qt::QueuedConnection);
}

void UnitWorker::Noted(const QString &name, int value)
{
    QMetaObject::invokeMethod(this, [this, name, value] {
        if (name.isEmpty())
            return LookAtLiveSettings();
        CompareWithScene(name, value);
        for (int c = 0; c < 3; ++c)
            if (name == AllLiveSettings()[c].Name())
                current.volume[c] = value;
        if (name == QLatin1String("mute"))
            current.mute = value;
        else if (name == QLatin1String("key"))
            current.key = value;
        else if (name == QLatin1String("program"))
            current.program = value;
        if (const NamedSetting *stored = FindNamedSetting(name); stored && held)
            stored->SetValue(*held, quint8(value));
        CountDrift();
        Publish();
    }, Qt::QueuedConnection);
}

void UnitWorker::Held(const std::optional<SettingsSnapshot> &read)
{
    QMetaObject::invokeMethod(this, [this, read] {
        if (!read)
            return CheckDrift();
        held = read;
        CountDrift();
        Publish();
    }, Qt::AutoConnection);
}

void UnitWorker::CountDrift()
{
    if (golden && held)
        current.drift = int(drift.Differences(*golden, *held).size());
}

void UnitWorker::CheckDrift()
{
    if (!golden || stopping)
        return;
    Submit([this](CommandLayer *link) {
        if (!link)
            return;
        SettingsSnapshot read;
        if (ReadAllFromDevice(*link, read, &stopping).outcome != TransferOutcome::Complete)
            return;
        held = read;
        const QList<SettingDifference> differences = drift.Differences(*golden, read);
        if (config.enforce && !differences.isEmpty()) {
            const bool written = DriftCheck::Enforce(*link, differences);
            emit DriftRepaired(config.name, differences, written);
            if (written)
                DriftCheck::Apply(*held, differences);
        }
        CountDrift();
        Publish();
    });
}
