#pragma once

#include "UnitWorker.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <memory>
#include <vector>

class Metrics;

// Every unit of the venue, each worker on its own thread. The latest state of each
// is kept here, on the service's thread, for answers that must not wait for a unit.
class UnitFleet : public QObject
{
    Q_OBJECT

public:
    UnitFleet(const ServiceConfig &config, Metrics &metrics, QObject *parent = nullptr);
    ~UnitFleet() override;

    void Start();
    QStringList Names() const { return names; }
    UnitWorker *Worker(const QString &name) const;
    UnitState State(const QString &name) const { return states.value(name); }
    // The cap that holds the unit from now on, shown with its state.
    void ShowCap(const QString &name, const std::optional<CapInForce> &cap);

    // No job starts any more; transfers end after their frame. True once all are idle.
    void Stop();
    bool Idle() const;

signals:
    void StateChanged(const QString &unit, const UnitState &state);

private:
    QStringList names;
    std::vector<std::unique_ptr<UnitWorker>> workers;
    std::vector<std::unique_ptr<QThread>> threads;
    QHash<QString, UnitState> states;
};
