#pragma once

#include "ChangeCore.h"
#include "LiveConfig.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <memory>
#include <optional>

class UnitFleet;
struct UnitState;

// The scene a unit holds, as /units, the event stream and MQTT show it: null when none.
QJsonValue SceneJson(const UnitState &state);

// A scene recalled on its units, whoever asks (a person, the MQTT bridge, the schedule):
// admitted and asked through the core per unit, its settings sent there at once, then
// its volumes stepped by one over the scene's fade. Each unit is told which scene it
// holds, so that it can tell when that is modified.
class SceneRecall : public QObject
{
    Q_OBJECT

public:
    SceneRecall(const LiveConfigStore &live, ChangeCore &core, UnitFleet &units, QObject *parent = nullptr);
    ~SceneRecall() override;

    // The scene named name on units (none given: each of the scene's units actor may see).
    // reply gets 200 and each unit's outcome, or a refusal of the whole.
    void Recall(const Actor &actor, const QString &name, const std::optional<QStringList> &units, const ChangeCore::Reply &reply);
    // The scenes on actor's units, as GET /scenes lists them.
    QJsonArray ScenesJson(const Actor &actor) const;

private:
    struct Fade;
    using Done = std::function<void(const QJsonObject &outcome)>;
    void OnUnit(const Actor &actor, const Scene &scene, const QString &unit, const Done &done);
    void StartFade(const Actor &actor, const Scene &scene, const QString &unit, const QList<NamedValue> &volumes,
                   const QJsonArray &sent, const Done &done);
    void Step(const std::shared_ptr<Fade> &fade);
    void EndFade(const std::shared_ptr<Fade> &fade, bool whole);

    const LiveConfigStore &live;
    ChangeCore &core;
    UnitFleet &units;
    QHash<QString, std::shared_ptr<Fade>> fades;  // by unit
};
