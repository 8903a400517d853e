// GET /api/v1/alerts: the incidents open now and those that ended lately, for admins.

#include "Api.h"

#include "Incidents.h"

#include <QJsonArray>

void Api::ListAlerts(Call &call)
{
    if (!core.Admit(Person(call), Action::ReadAlerts, QString(), Replier(call.answer)))
        return;
    QJsonArray open, recent;
    if (incidents) {
        for (const Alert &alert : incidents->Open())
            open.append(alert.Json());
        for (const Alert &alert : incidents->Recent())
            recent.append(alert.Json());
    }
    call.answer->Json(200, {{QStringLiteral("open"), open}, {QStringLiteral("recent"), recent}});
}
