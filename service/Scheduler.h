#pragma once

#include "LiveConfig.h"
#include "ScheduleTimes.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class AuditLog;
class SceneRecall;

// The schedule of the configuration in force, kept on the service machine's clock: each
// entry's scene recalled at its minute. At the start, and when the clock jumps, the scene
// last called for is recalled if that was within catch-up-minutes, and any older one
// is written to the audit log as skipped.
class Scheduler : public QObject
{
    Q_OBJECT

public:
    Scheduler(const LiveConfigStore &live, SceneRecall &scenes, AuditLog &audit, QObject *parent = nullptr);

    void Start();
    // The next count events from now.
    QList<ScheduleTimes::Event> Next(int count) const;

private:
    void Tick();
    void CatchUp(const QList<ScheduleTimes::Event> &missed, const QDateTime &now);
    void Recall(const ScheduleTimes::Event &event);

    const LiveConfigStore &live;
    SceneRecall &scenes;
    AuditLog &audit;
    ScheduleTimes times;
    QTimer ticker;
    QElapsedTimer sinceTick;
    QDateTime lastTick;
};
