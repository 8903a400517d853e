#include "UnitFleet.h"

UnitFleet::UnitFleet(const ServiceConfig &config, Metrics &metrics, QObject *parent) : QObject(parent)
{
    qRegisterMetaType<UnitState>();
    const DriftCheck drift(config.staff);
    for (const UnitConfig &unit : config.units) {
        names << unit.name;
        workers.push_back(std::make_unique<UnitWorker>(unit, drift, config.driftMinutes, metrics));
        threads.push_back(std::make_unique<QThread>());
        UnitState first;
        first.since = QDateTime::currentDateTimeUtc();
        first.error = QStringLiteral("not connected yet");
        states.insert(unit.name, first);
        connect(workers.back().get(), &UnitWorker::StateChanged, this, [this](const QString &name, UnitState state) {
            state.cap = states[name].cap;
            states[name] = state;
            emit StateChanged(name, state);
        });
    }
}

UnitFleet::~UnitFleet()
{
    Stop();
    for (std::size_t i = 0; i < threads.size(); ++i) {
        if (!threads[i]->isRunning())
            continue;
        // The worker's link objects belong to its thread and go with it, closing its port.
        // (Released apart from the call: its arguments may be taken in any order.)
        UnitWorker *worker = workers[i].release();
        QMetaObject::invokeMethod(worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
        threads[i]->quit();
        threads[i]->wait();
    }
}

void UnitFleet::Start()
{
    for (std::size_t i = 0; i < workers.size(); ++i) {
        workers[i]->moveToThread(threads[i].get());
        threads[i]->setObjectName(workers[i]->Name());
        threads[i]->start();
        QMetaObject::invokeMethod(workers[i].get(), &UnitWorker::Start, Qt::QueuedConnection);
    }
}

void UnitFleet::ShowCap(const QString &name, const std::optional<CapInForce> &cap)
{
    states[name].cap = cap;
    emit StateChanged(name, states[name]);
}

UnitWorker *UnitFleet::Worker(const QString &name) const
{
    for (const auto &worker : workers)
        if (worker && worker->Name() == name)
            return worker.get();
    return nullptr;
}

void UnitFleet::Stop()
{
    for (const auto &worker : workers)
        if (worker)
            worker->Stop();
}

bool UnitFleet::Idle() const
{
    for (const auto &worker : workers)
        if (worker && !worker->Idle())
            return false;
    return true;
}
