#pragma once

#include "Caps.h"
#include "Rights.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <array>

class ChangeCore;
class UnitFleet;
struct UnitState;

// Holds the venue's units to the caps in force: shows on each unit the cap that holds it,
// brings its volumes down when a cap begins or the unit comes online under one, and every
// watch-seconds reads the capped volumes, so that one raised at the unit's own panel is
// brought back. Every change it makes goes through the core as the actor "cap".
class CapKeeper : public QObject
{
    Q_OBJECT

public:
    CapKeeper(const QList<CapConfig> &caps, ChangeCore &core, UnitFleet &units, QObject *parent = nullptr);

    void Start();
    // From now on these caps hold, as when the configuration is read again.
    void Replace(const QList<CapConfig> &caps);
    // The cap in force on unit now.
    std::optional<CapInForce> InForce(const QString &unit) const;

private:
    void Look();
    void UnitChanged(const QString &unit, const UnitState &state);
    void Watch(const QString &unit);
    void BringDown(const QString &unit, const std::array<int, 3> &read);

    QList<CapConfig> caps;
    ChangeCore &core;
    UnitFleet &units;
    const Actor actor;
    QTimer clock;
    QHash<QString, std::optional<CapInForce>> shown;
    QHash<QString, QTimer *> watches;
    QSet<QString> reading;  // units whose capped volumes are being read
    QSet<QString> online;
};
