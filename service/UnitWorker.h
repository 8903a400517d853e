#pragma once

#include "Caps.h"
#include "Drift.h"
#include "Identify.h"
#include "LinkStatus.h"
#include "ServiceConfig.h"
#include "SettingsSnapshot.h"

#include <QDateTime>
#include <array>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class CommandLayer;
class ConnectionManager;
class Metrics;
struct ProgramState;

struct UnitState
{
    enum class Link { Offline, Online, Busy };
    Link link = Link::Offline;
    int model = -1;
    QDateTime since;  // when it last came online or went offline
    QString error;    // why it is offline
    int drift = -1;   // protected settings that differ from the approved file; -1 unknown

    // What the unit plays with now, -1 while unknown: read when it connects, then kept
    // as the service changes it. The key and the program cannot be read back.
    std::array<int, 3> volume{-1, -1, -1};
    std::array<int, 3> maximum{-1, -1, -1};  // the power-on maximum of each channel
    int mute = -1;
    int key = -1;
    int program = -1;
    std::optional<CapInForce> cap;  // kept by the fleet: the cap that holds the unit now

    QString scene;          // the scene last recalled, or empty
    bool sceneModified = false;  // a setting of it changed since, by anyone
};

// One processor the service keeps connected, on a thread of its own: identification,
// heartbeat, reconnection within seconds, a drift check on every connection and every
// few minutes, and the jobs asked of it, run one at a time in the order they came.
// Connecting never changes the unit.
class UnitWorker : public QObject
{
    Q_OBJECT

public:
    // A job gets the unit's command layer, or nullptr when the unit is offline.
    using Job = std::function<void(CommandLayer *commands)>;
    static constexpr int MostWaiting = 32;
    static constexpr int MostWaitingPerOwner = 4;
    static constexpr int SceneReadMs = 60 * 1000;

    UnitWorker(const UnitConfig &config, const DriftCheck &drift, int driftMinutes, Metrics &metrics);
    ~UnitWorker() override;

    QString Name() const { return config.name; }
    const UnitConfig &Config() const { return config; }
    // The approved settings, read when the service started.
    const std::optional<SettingsSnapshot> &Golden() const { return golden; }

    // From any thread; false when MostWaiting jobs wait already, or MostWaitingPerOwner
    // of owner's (the running one included). Owners take turns; a job whose left is set when its turn comes gets
    // nullptr, as when offline. A quiet job, a short read, does not show the unit busy.
    bool Submit(Job job, const QString &owner = {}, std::shared_ptr<std::atomic<bool>> left = nullptr,
                bool quiet = false);
    // From any thread: no job starts any more, a transfer ends after its frame.
    void Stop() { stopping = true; }
    const std::atomic<bool> &Stopping() const { return stopping; }
    bool Idle() const { return pending == 0; }

    // Runs in the worker's thread once it starts.
    void Start();
    // From any thread: the service set a setting (by name) to value; after a restore,
    // name is empty and the live settings are read again. A protected setting counts in the drift.
    void Noted(const QString &name, int value);
    // What a complete read by the service found the unit to hold, its drift counted on it;
    // nothing when the service changed the unit without reading it all back, which is then
    // read again. From a job it takes effect before the job's result is answered.
    void Held(const std::optional<SettingsSnapshot> &read);

    // From any thread: scene was recalled, its settings now holding targets, those of
    // fading still on their way; a change of any other to another value modifies it.
    void Recalled(const QString &scene, const QHash<QString, int> &targets, const QStringList &fading);
    // From any thread: a fading volume of the scene arrived at value, or stopped short.
    void Settled(const QString &setting, int value);

signals:
    void StateChanged(const QString &unit, const UnitState &state);
    // With enforce=true: the approved values written back, and whether the unit took them.
    void DriftRepaired(const QString &unit, const QList<SettingDifference> &differences, bool written);

private:
    void RunNext();
    void Publish();
    void LinkStatusChanged(LinkStatus status);
    void Lost();
    void CheckDrift();
    void CountDrift();
    void LookAtLiveSettings();
    void CompareWithScene(const QString &setting, int value);

    UnitConfig config;
    DriftCheck drift;
    int driftMinutes;
    Metrics &metrics;
    std::optional<SettingsSnapshot> golden;
    std::optional<SettingsSnapshot> held;  // as last read, with the service's changes since

    std::unique_ptr<ProgramState> state;
    std::unique_ptr<CommandLayer> commands;
    std::unique_ptr<ConnectionManager> connection;
    QTimer driftTimer;
    QTimer sceneTimer;  // while a scene is in force, its readable settings are read now and then
    QHash<QString, int> sceneTargets;
    QStringList sceneFading;

    struct Queued
    {
        Job job;
        QString owner;
        std::shared_ptr<std::atomic<bool>> left;
        bool quiet = false;
    };
    Queued TakeNext();
    void Done(const QString &owner);

    QList<Queued> queue;
    QHash<QString, quint64> lastServed;  // by owner: the turn they were last served in
    quint64 turn = 0;
    QMutex counting;                      // guards waitingBy, counted from any thread
    QHash<QString, int> waitingBy;
    bool running = false;
    bool everConnected = false;
    std::atomic<int> pending{0};
    std::atomic<bool> stopping{false};
    UnitState current;
};

// Why a unit is offline, in the service's words.
QString OfflineReason(const OpenResult &result);
Q_DECLARE_METATYPE(UnitState)
