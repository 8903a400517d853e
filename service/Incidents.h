#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTimer>
#include <optional>

// One incident: what went wrong, where, since when, and until when once it is over.
struct Alert
{
    QString id;
    QString kind;  // offline, drift, cap-fought, audit, broker
    QString venue;
    QString unit;  // empty: the service itself
    QString text;
    QDateTime since;
    QDateTime ended;  // null while open
    QString link;

    // As GET /alerts lists it; with state, as it is announced ("begun" or "ended").
    QJsonObject Json(const QString &state = {}) const;
};

// Conditions become incidents: a condition must hold for its delay before an incident
// begins (offline and broker: offline-after; the others at once), and an incident ends
// only once its condition has been clear for offline-after. Whatever flaps in between,
// each incident is announced once as begun and once as ended.
class Incidents : public QObject
{
    Q_OBJECT

public:
    Incidents(int offlineAfterSeconds, const QString &venue, const QString &pageUrl, QObject *parent = nullptr);

    // Whether the condition kind holds on unit (empty: the service) from since on; text
    // says what happened, as the incident will name it if one begins.
    void Set(const QString &kind, const QString &unit, bool holds, const QString &text,
             const QDateTime &since = QDateTime::currentDateTimeUtc());

    QList<Alert> Open() const;
    // Those that ended, newest first.
    const QList<Alert> &Recent() const { return recent; }

signals:
    void Begun(const Alert &alert);
    void Ended(const Alert &alert);

private:
    struct Track
    {
        bool holds = false;
        QDateTime changed;  // when holds last turned
        QString text;
        std::optional<Alert> open;
    };
    void Review();
    qint64 BeginDelay(const QString &kind) const;

    const qint64 holdMs;
    const QString venue, pageUrl;
    QHash<QPair<QString, QString>, Track> tracks;
    QList<Alert> recent;
    QTimer next;
};
