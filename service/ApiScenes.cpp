// The routes /api/v1/scenes, /api/v1/scenes/NAME/recall and /api/v1/schedule.

#include "Api.h"

#include "SceneRecall.h"
#include "Scheduler.h"
#include "UnitFleet.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonObject Error(const QString &text, const char *code)
{
    return {{QStringLiteral("error"), text}, {QStringLiteral("code"), QLatin1String(code)}};
}

// The body of a recall: nothing, or {"units": [names]}.
std::optional<std::optional<QStringList>> RecallUnits(const QByteArray &body, qsizetype most)
{
    if (body.trimmed().isEmpty())
        return std::optional<QStringList>();
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.contains(QStringLiteral("units")))
        return std::optional<QStringList>();
    if (object.size() > 1 || !object[QStringLiteral("units")].isArray())
        return std::nullopt;
    QStringList units;
    for (const QJsonValue &unit : object[QStringLiteral("units")].toArray()) {
        if (!unit.isString() || units.size() >= most)
            return std::nullopt;
        units << unit.toString();
    }
    return std::optional<QStringList>(units);
}

} // namespace

void Api::SceneRoute(Call &call)
{
    using M = QHttpServerRequest::Method;
    const QStringList &p = call.path;
    const Actor who = Person(call);
    const auto only = [&call](const char *method) {
        call.answer->Json(405, Error(QStringLiteral("%1 only").arg(QLatin1String(method)), "method-not-allowed"));
    };
    if (p.size() == 3 && p[2] == QLatin1String("scenes"))
        return call.Is(M::Get) ? call.answer->Json(200, {{QStringLiteral("scenes"), scenes->ScenesJson(who)}}) : only("GET");
    if (p.size() == 3 && p[2] == QLatin1String("schedule")) {
        if (!call.Is(M::Get))
            return only("GET");
        QJsonArray events;
        for (const ScheduleTimes::Event &event : scheduler->Next(10))
            events.append(QJsonObject{{QStringLiteral("time"), event.time.toOffsetFromUtc(event.time.offsetFromUtc()).toString(Qt::ISODate)},
                                      {QStringLiteral("scene"), event.scene}});
        return call.answer->Json(200, {{QStringLiteral("events"), events}});
    }
    if (p.size() != 5 || p[2] != QLatin1String("scenes") || p[4] != QLatin1String("recall"))
        return call.answer->Json(404, Error(QStringLiteral("no such route"), "no-such-route"));
    if (!call.Is(M::Post))
        return only("POST");
    const std::optional<std::optional<QStringList>> asked = RecallUnits(call.request.body(), units.Names().size());
    if (!asked)
        return call.answer->Json(400, Error(QStringLiteral("nothing, or {\"units\": [names]} expected"), "bad-recall"));
    scenes->Recall(who, p[3], *asked, Replier(call.answer));
}
