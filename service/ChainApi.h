#pragma once

#include "Api.h"
#include "ChainFollower.h"

#include <QObject>

// The head office's answers to the routes that are a venue's own: every venue's rooms,
// the chain's audit and alerts, and its admins' commands, sent to the venue and answered
// with the venue's answer. Logging in, sessions and the event stream stay the Api's.
class ChainApi : public QObject
{
    Q_OBJECT

public:
    ChainApi(const ChainConfig &config, AuditLog &audit, QObject *parent = nullptr);
    bool Start(QString *error) { return follower.Start(error); }

    // Whether it answered path (the segments after /api/v1) for account.
    bool Route(const QHttpServerRequest &request, const QStringList &path, const Account &account, const Answer &answer);

signals:
    // A room's JSON as the event stream sends it.
    void UnitChanged(const QString &id, const QJsonObject &unit);

private:
    QJsonObject UnitJson(const QString &id, bool admin) const;
    void ListUnits(const Account &account, const Answer &answer);
    void Audit(const QHttpServerRequest &request, const Answer &answer);
    void Alerts(const Answer &answer);
    void SetSettings(const QHttpServerRequest &request, const Account &account, const QString &id, const Answer &answer);
    void RecallScene(const QHttpServerRequest &request, const Account &account, const QString &scene,
                     const Answer &answer);
    // Written to this service's audit log before the command goes; false, answered 503, when it cannot be.
    bool Asked(const QHttpServerRequest &request, const Account &account, const QString &unit, const QString &what,
               const Answer &answer);

    ChainFollower follower;
    AuditLog &audit;
    QByteArray unitsAnswer[2];  // GET /units for others and for admins, kept until a room changes
};
