#include "SceneRecall.h"

#include "CommandLayer.h"
#include "SettingCommand.h"
#include "UnitFleet.h"

#include <QTimer>
#include <cmath>

namespace {

QJsonObject Error(const QString &text, const char *code)
{
    return {{QStringLiteral("error"), text}, {QStringLiteral("code"), QLatin1String(code)}};
}

bool IsVolume(const NamedValue &setting)
{
    return setting.setting.live && setting.setting.live->Group() == LiveSetting::Kind::Volume;
}

QJsonValue SettingJson(const NamedValue &setting)
{
    return IsVolume(setting) ? QJsonValue(setting.value) : QJsonValue(setting.setting.Shown(setting.value));
}

} // namespace

QJsonValue SceneJson(const UnitState &state)
{
    if (state.scene.isEmpty())
        return QJsonValue();
    return QJsonObject{{QStringLiteral("name"), state.scene}, {QStringLiteral("modified"), state.sceneModified}};
}

// A fade on one unit: each volume goes from what the unit held to the scene's, one
// step at a time; a step that finds another value than its last stops that volume.
struct SceneRecall::Fade
{
    Actor actor;
    QString unit;
    QString scene;
    int seconds = 0;
    struct Channel
    {
        NamedValue setting;
        int from = 0, to = 0, last = 0;
        bool stopped = false;
    };
    QList<Channel> channels;
    int steps = 0, step = 0;
    QElapsedTimer clock;
    QTimer timer;
};

SceneRecall::SceneRecall(const LiveConfigStore &live, ChangeCore &core, UnitFleet &units, QObject *parent)
    : QObject(parent), live(live), core(core), units(units)
{
}

SceneRecall::~SceneRecall() = default;

QJsonArray SceneRecall::ScenesJson(const Actor &actor) const
{
    QJsonArray list;
    for (const Scene &scene : live.Current().scenes) {
        QJsonArray on;
        for (const QString &unit : units.Names())
            if (scene.Covers(unit) && actor.MaySee(unit))
                on.append(unit);
        if (on.isEmpty())
            continue;
        QJsonObject settings;
        for (const NamedValue &setting : scene.settings)
            settings.insert(setting.setting.Name(), SettingJson(setting));
        list.append(QJsonObject{{QStringLiteral("name"), scene.name},
                                {QStringLiteral("units"), on},
                                {QStringLiteral("staff"), scene.staff},
                                {QStringLiteral("fade"), scene.fade},
                                {QStringLiteral("settings"), settings},
                                {QStringLiteral("may-recall"), !ForbiddenScene(actor.role, scene.name, scene.staff)}});
    }
    return list;
}

void SceneRecall::Recall(const Actor &actor, const QString &name, const std::optional<QStringList> &asked,
                         const ChangeCore::Reply &reply)
{
    const Scene *found = live.Current().FindScene(name);
    if (!found)
        return reply(404, Error(QStringLiteral("no scene is named \"%1\"").arg(name), "no-such-scene"));
    if (const std::optional<Refusal> refusal = ForbiddenScene(actor.role, name, found->staff))
        return reply(refusal->status, Error(refusal->reason, Forbidden(actor.role, Action::RecallScene) ? "role-may-not" : "scene-not-for-staff"));
    QStringList on;
    for (const QString &unit : asked.value_or(units.Names()))
        if (!on.contains(unit) && (asked || (found->Covers(unit) && actor.MaySee(unit))))
            on << unit;
    if (on.isEmpty())
        return reply(404, Error(QStringLiteral("the scene %1 is on none of your units").arg(name), "no-units"));
    // Kept whole while the units work: a reload may replace the configuration meanwhile.
    const Scene scene = *found;
    auto outcomes = std::make_shared<QJsonObject>();
    auto left = std::make_shared<int>(int(on.size()));
    for (const QString &unit : std::as_const(on))
        OnUnit(actor, scene, unit, [outcomes, left, unit, reply](const QJsonObject &outcome) {
            outcomes->insert(unit, outcome);
            if (--*left == 0)
                reply(200, {{QStringLiteral("results"), *outcomes}});
        });
}

void SceneRecall::OnUnit(const Actor &actor, const Scene &scene, const QString &unit, const Done &done)
{
    const auto refused = [done](int status, QJsonObject body) {
        body.insert(QStringLiteral("status"), status);
        done(body);
    };
    if (units.Worker(unit) && !scene.Covers(unit))
        return refused(404, Error(QStringLiteral("%1 is not a unit of the scene %2").arg(unit, scene.name), "not-in-scene"));
    if (!core.Admit(actor, Action::RecallScene, unit, refused))
        return;
    QStringList names;
    QList<NamedValue> now, volumes;
    for (const NamedValue &setting : scene.settings) {
        names << setting.setting.Name();
        (scene.fade > 0 && IsVolume(setting) ? volumes : now).append(setting);
    }
    const QJsonObject tag{{QStringLiteral("scene"), scene.name}};
    if (!core.Asked(actor, unit, names, refused, tag))
        return;
    if (const std::shared_ptr<Fade> running = fades.value(unit))
        EndFade(running, false);
    const auto sent = [this, actor, scene, unit, volumes, refused, done](int status, const QJsonObject &body) {
        if (status != 200)
            return refused(status, body);
        const QJsonArray results = body[QStringLiteral("results")].toArray();
        if (!volumes.isEmpty())
            return StartFade(actor, scene, unit, volumes, results, done);
        QHash<QString, int> targets;
        for (const QJsonValue &r : results)
            if (r[QStringLiteral("result")].toString() == QLatin1String("ok"))
                targets.insert(r[QStringLiteral("setting")].toString(), r[QStringLiteral("new")].toInt());
        units.Worker(unit)->Recalled(scene.name, targets, {});
        done({{QStringLiteral("status"), 200}, {QStringLiteral("results"), results}});
    };
    if (now.isEmpty())
        return sent(200, {{QStringLiteral("results"), QJsonArray()}});
    core.Apply(actor, unit, now, tag, true, sent);
}

// The volumes and maxima are read first, so that the steps start where the unit is.
void SceneRecall::StartFade(const Actor &actor, const Scene &scene, const QString &unit, const QList<NamedValue> &volumes,
                            const QJsonArray &sent, const Done &done)
{
    core.Act(actor, Action::ReadSettings, unit, [volumes](CommandLayer &commands) {
        QList<std::pair<int, int>> held;
        for (const NamedValue &v : volumes) {
            const quint8 channel = quint8(v.setting.live->Channel());
            if (!SendSetting(commands, GetOp, ParamBlock::ChannelVolume, 0, channel, 0))
                break;
            const int volume = commands.ReplyBuffer[0];
            if (!SendSetting(commands, GetOp, ParamBlock::ChannelMaximum, 0, channel, 0))
                break;
            held.append({volume, commands.ReplyBuffer[0]});
        }
        return std::any(held);
    }, [this, actor, scene, unit, volumes, sent, done](const std::optional<std::any> &result, const QString &whyNot) {
        const auto held = result ? std::any_cast<QList<std::pair<int, int>>>(*result) : QList<std::pair<int, int>>();
        if (held.size() < volumes.size())
            return done({{QStringLiteral("status"), 409}, {QStringLiteral("error"), result ? QStringLiteral("the unit stopped answering") : whyNot},
                         {QStringLiteral("code"), QStringLiteral("unit-unreachable")}});
        auto fade = std::make_shared<Fade>();
        fade->actor = actor;
        fade->actor.left = nullptr;  // the steps go on when whoever asked has gone
        fade->unit = unit;
        fade->scene = scene.name;
        fade->seconds = scene.fade;
        QJsonArray results = sent;
        QHash<QString, int> targets;
        for (const QJsonValue &r : sent)
            if (r[QStringLiteral("result")].toString() == QLatin1String("ok"))
                targets.insert(r[QStringLiteral("setting")].toString(), r[QStringLiteral("new")].toInt());
        QStringList fading;
        for (int i = 0; i < volumes.size(); ++i) {
            const int to = std::min<int>(volumes[i].value, held[i].second);
            fade->channels.append({volumes[i], held[i].first, to, held[i].first, false});
            fade->steps = std::max(fade->steps, std::abs(to - held[i].first));
            targets.insert(volumes[i].setting.Name(), to);
            fading << volumes[i].setting.Name();
            results.append(QJsonObject{{QStringLiteral("setting"), volumes[i].setting.Name()},
                                       {QStringLiteral("old"), held[i].first},
                                       {QStringLiteral("new"), to},
                                       {QStringLiteral("shown"), volumes[i].setting.Shown(quint8(to))},
                                       {QStringLiteral("result"), QStringLiteral("fading")},
                                       {QStringLiteral("seconds"), scene.fade}});
        }
        units.Worker(unit)->Recalled(scene.name, targets, fading);
        done({{QStringLiteral("status"), 200}, {QStringLiteral("results"), results}});
        fades.insert(unit, fade);
        fade->timer.setSingleShot(true);
        connect(&fade->timer, &QTimer::timeout, this, [this, weak = std::weak_ptr<Fade>(fade)] {
            if (const std::shared_ptr<Fade> f = weak.lock())
                Step(f);
        });
        fade->clock.start();
        Step(fade);
    }, [done](int status, QJsonObject body) {
        body.insert(QStringLiteral("status"), status);
        done(body);
    });
}

void SceneRecall::Step(const std::shared_ptr<Fade> &fade)
{
    if (fades.value(fade->unit) != fade)
        return;
    if (fade->step >= fade->steps)
        return EndFade(fade, true);
    ++fade->step;
    QList<NamedValue> wanted;
    for (const Fade::Channel &c : std::as_const(fade->channels)) {
        const int at = c.from + int(std::lround(double(c.to - c.from) * fade->step / fade->steps));
        if (c.stopped || at == c.last)
            continue;
        NamedValue step = c.setting;
        step.value = quint8(at);
        wanted.append(step);
    }
    const auto next = [this, fade] {
        const qint64 due = qint64(fade->seconds) * 1000 * fade->step / fade->steps;
        fade->timer.start(int(std::max<qint64>(0, due - fade->clock.elapsed())));
    };
    if (wanted.isEmpty())
        return next();
    core.Apply(fade->actor, fade->unit, wanted, {}, false, [this, fade, next](int status, const QJsonObject &body) {
        if (fades.value(fade->unit) != fade)
            return;
        QList<NamedValue> giveBack;
        for (const QJsonValue &r : body[QStringLiteral("results")].toArray())
            for (Fade::Channel &c : fade->channels) {
                if (r[QStringLiteral("setting")].toString() != c.setting.setting.Name())
                    continue;
                const int old = r[QStringLiteral("old")].toInt(-1), before = c.last;
                c.last = r[QStringLiteral("new")].toInt();
                if (r[QStringLiteral("result")].toString() == QLatin1String("ok") && old == before)
                    continue;
                // Another hand moved it since the last step: the fade leaves it where that hand put it.
                c.stopped = true;
                if (old >= 0) {
                    giveBack.append(c.setting);
                    giveBack.last().value = quint8(old);
                    c.last = old;
                }
            }
        if (!giveBack.isEmpty())
            core.Apply(fade->actor, fade->unit, giveBack, {}, false, [](int, const QJsonObject &) {});
        if (status != 200 || std::all_of(fade->channels.cbegin(), fade->channels.cend(), [](const Fade::Channel &c) { return c.stopped; }))
            return EndFade(fade, false);
        next();
    });
}

// The fade's outcome per volume, audited as one change from where it started.
void SceneRecall::EndFade(const std::shared_ptr<Fade> &fade, bool whole)
{
    if (fades.value(fade->unit) == fade)
        fades.remove(fade->unit);
    fade->timer.stop();
    for (const Fade::Channel &c : std::as_const(fade->channels)) {
        units.Worker(fade->unit)->Settled(c.setting.setting.Name(), c.to);
        core.Audited(fade->actor, fade->unit, {{QStringLiteral("setting"), c.setting.setting.Name()},
                                               {QStringLiteral("old"), c.from},
                                               {QStringLiteral("new"), c.last},
                                               {QStringLiteral("shown"), c.setting.setting.Shown(quint8(c.last))},
                                               {QStringLiteral("result"), whole && !c.stopped ? QStringLiteral("ok") : QStringLiteral("stopped")},
                                               {QStringLiteral("scene"), fade->scene},
                                               {QStringLiteral("fade"), fade->seconds}});
    }
}
