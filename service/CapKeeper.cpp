#include "CapKeeper.h"

#include "ChangeCore.h"
#include "LiveSettings.h"
#include "UnitFleet.h"

CapKeeper::CapKeeper(const QList<CapConfig> &caps, ChangeCore &core, UnitFleet &units, QObject *parent)
    : QObject(parent), caps(caps), core(core), units(units),
      actor{Actor::Kind::Cap, QStringLiteral("cap"), QString(), Role::Admin, {}, nullptr}
{
    for (const QString &unit : units.Names()) {
        auto *watch = new QTimer(this);
        connect(watch, &QTimer::timeout, this, [this, unit] { Watch(unit); });
        watches.insert(unit, watch);
    }
    connect(&units, &UnitFleet::StateChanged, this, &CapKeeper::UnitChanged);
    // A cap begins within a second of its minute; a change meanwhile is held to it all the same.
    clock.setInterval(1000);
    connect(&clock, &QTimer::timeout, this, &CapKeeper::Look);
}

void CapKeeper::Start()
{
    Look();
    clock.start();
}

void CapKeeper::Replace(const QList<CapConfig> &caps)
{
    this->caps = caps;
    Look();
}

std::optional<CapInForce> CapKeeper::InForce(const QString &unit) const
{
    return CapOn(OpenCaps(caps, QDateTime::currentDateTime()), unit);
}

void CapKeeper::Look()
{
    const QList<OpenCap> open = OpenCaps(caps, QDateTime::currentDateTime());
    for (const QString &unit : units.Names()) {
        const std::optional<CapInForce> cap = CapOn(open, unit);
        if (cap == shown.value(unit))
            continue;
        shown[unit] = cap;
        units.ShowCap(unit, cap);
        QTimer *watch = watches.value(unit);
        if (!cap) {
            watch->stop();
            continue;
        }
        watch->start(cap->watchSeconds * 1000);
        Watch(unit);
    }
}

// A unit that comes online under a cap may have been turned up meanwhile.
void CapKeeper::UnitChanged(const QString &unit, const UnitState &state)
{
    if (state.link == UnitState::Link::Offline) {
        online.remove(unit);
        return;
    }
    if (online.contains(unit))
        return;
    online.insert(unit);
    Watch(unit);
}

// Reads only the capped volumes, as a quiet job of the unit's queue: nothing is shown
// of it unless a volume moved.
void CapKeeper::Watch(const QString &unit)
{
    const std::optional<CapInForce> cap = shown.value(unit);
    if (!cap || reading.contains(unit))
        return;
    reading.insert(unit);
    const std::array<int, 3> limits = cap->limits;
    const bool queued = units.Worker(unit)->Submit([this, unit, limits](CommandLayer *commands) {
        std::array<int, 3> read{-1, -1, -1};
        for (std::size_t c = 0; c < 3 && commands; ++c) {
            quint8 value = 0;
            if (limits[c] < 0)
                continue;
            if (GetSetting(*commands, {nullptr, &AllLiveSettings()[int(c)]}, value) != CommandOutcome::Done)
                break;
            read[c] = value;
        }
        QMetaObject::invokeMethod(this, [this, unit, read] {
            reading.remove(unit);
            BringDown(unit, read);
        }, Qt::QueuedConnection);
    }, actor.name, nullptr, true);
    if (!queued)
        reading.remove(unit);
}

// The volumes read above the cap in force now are set to it; those within it are noted,
// so that what the service shows follows the panel.
void CapKeeper::BringDown(const QString &unit, const std::array<int, 3> &read)
{
    const std::optional<CapInForce> cap = InForce(unit);
    QList<NamedValue> down;
    for (std::size_t c = 0; c < 3; ++c) {
        const QString name = AllLiveSettings()[int(c)].Name();
        if (read[c] < 0)
            continue;
        if (cap && cap->limits[c] >= 0 && read[c] > cap->limits[c])
            down.append(ReadNamedValue(name, QString::number(cap->limits[c])));
        else if (read[c] != units.State(unit).volume[c])
            units.Worker(unit)->Noted(name, read[c]);
    }
    // What cannot be done now (the unit went offline, the audit log cannot be written) is
    // tried again at the next watch.
    if (!down.isEmpty())
        core.Change(actor, unit, down, [](int, const QJsonObject &) {});
}
