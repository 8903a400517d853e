#include "MqttBridge.h"

#include "ChangeCore.h"
#include "LiveSettings.h"
#include "SceneRecall.h"
#include "UnitFleet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QByteArray Json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonValue Shown(const LiveSetting &setting, int value)
{
    return value >= 0 ? QJsonValue(setting.Shown(quint8(value))) : QJsonValue();
}

QJsonObject StateJson(const UnitState &state)
{
    QJsonObject s, maximum;
    for (int c = 0; c < 3; ++c) {
        s.insert(AllLiveSettings()[c].Name(), state.volume[c] >= 0 ? QJsonValue(state.volume[c]) : QJsonValue());
        maximum.insert(AllLiveSettings()[c].Name(), state.maximum[c] >= 0 ? QJsonValue(state.maximum[c]) : QJsonValue());
    }
    // The power-on maxima: a head office's sliders end where the unit's do.
    s.insert(QStringLiteral("maximum"), maximum);
    s.insert(QStringLiteral("mute"), state.mute >= 0 ? QJsonValue(state.mute ? QStringLiteral("ON") : QStringLiteral("OFF"))
                                                     : QJsonValue());
    s.insert(QStringLiteral("key"), Shown(*FindLiveSetting(QStringLiteral("key")), state.key));
    s.insert(QStringLiteral("program"), Shown(*FindLiveSetting(QStringLiteral("program")), state.program));
    s.insert(QStringLiteral("drift"), state.drift >= 0 ? QJsonValue(state.drift) : QJsonValue());
    s.insert(QStringLiteral("model"), state.model == 0x6E ? QJsonValue(QStringLiteral("QSV-416MZ")) : QJsonValue());
    s.insert(QStringLiteral("cap"), CapJson(state.cap));
    s.insert(QStringLiteral("scene"), SceneJson(state));
    return s;
}

QJsonArray Options(const LiveSetting &setting)
{
    QJsonArray options;
    for (quint8 v : setting.Values())
        options.append(setting.Shown(v));
    return options;
}

} // namespace

MqttBridge::MqttBridge(const MqttConfig &config, UnitFleet &units, ChangeCore &core, QObject *parent)
    : QObject(parent), config(config), units(units), core(core), client(config)
{
    connect(&units, &UnitFleet::StateChanged, this, &MqttBridge::UnitChanged);
    connect(&core, &ChangeCore::Changed, this, [this](const QString &unit, const QJsonObject &entry) {
        Publish(this->config.prefix + QLatin1Char('/') + unit + QStringLiteral("/audit"), Json(entry), false);
    });
    connect(&client, &MqttClient::Connected, this, &MqttBridge::Connected);
    connect(&client, &MqttClient::Message, this, &MqttBridge::Message);
    connect(&client, &MqttClient::Connected, this, [this] { emit BrokerChanged(true); });
    connect(&client, &MqttClient::Disconnected, this, [this] { emit BrokerChanged(false); });
}

MqttBridge::~MqttBridge()
{
    // Leaving on purpose: say so, as the last will would.
    Publish(config.prefix + QStringLiteral("/status"), "offline", true);
}

bool MqttBridge::Start(QString *error)
{
    const QString status = config.prefix + QStringLiteral("/status");
    return client.Start({config.clientId.isEmpty() ? QStringLiteral("quorind-") + config.prefix : config.clientId, true,
                         MqttClient::Will{status, "offline"}},
                        error);
}

// After every (re)connection the broker may have forgotten everything: all is said again.
void MqttBridge::Connected()
{
    Publish(config.prefix + QStringLiteral("/status"), "online", true);
    client.Subscribe(config.prefix + QStringLiteral("/+/set"));
    if (scenes)
        client.Subscribe(config.prefix + QStringLiteral("/scenes/+/recall"));
    lastDiscovery.clear();
    sceneEntities.clear();
    PublishSceneDiscovery();
    for (const QString &unit : units.Names())
        PublishUnit(unit, units.State(unit), true);
}

void MqttBridge::UnitChanged(const QString &unit, const UnitState &state)
{
    if (client.IsConnected())
        PublishUnit(unit, state, false);
}

void MqttBridge::PublishUnit(const QString &unit, const UnitState &state, bool always)
{
    const QString base = config.prefix + QLatin1Char('/') + unit;
    const QByteArray availability = state.link == UnitState::Link::Offline ? "offline" : "online";
    if (always || lastAvailability.value(unit) != availability)
        Publish(base + QStringLiteral("/availability"), availability, true);
    lastAvailability[unit] = availability;
    const QByteArray json = Json(StateJson(state));
    if (always || lastState.value(unit) != json)
        Publish(base + QStringLiteral("/state"), json, true);
    lastState[unit] = json;
    if (!config.discovery.isEmpty())
        PublishDiscovery(unit, state);
}

QString MqttBridge::UniqueId(const QString &unit) const
{
    return MqttUniqueId(config.prefix, unit);
}

// One device per unit with its entities; the volumes' range is the unit's power-on maximum,
// so discovery is said again whenever a maximum becomes known or changes.
void MqttBridge::PublishDiscovery(const QString &unit, const UnitState &state)
{
    const QByteArray maxima = QByteArray::number(state.maximum[0]) + ',' + QByteArray::number(state.maximum[1]) + ','
        + QByteArray::number(state.maximum[2]);
    if (lastDiscovery.value(unit) == maxima)
        return;
    lastDiscovery[unit] = maxima;
    const QString base = config.prefix + QLatin1Char('/') + unit, id = UniqueId(unit);
    const QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{id}},
                             {QStringLiteral("name"), unit},
                             {QStringLiteral("model"), QStringLiteral("QSV-416MZ")},
                             {QStringLiteral("via_device"), QStringLiteral("quorind_") + UniqueId(QString())}};
    const QJsonArray availability{QJsonObject{{QStringLiteral("topic"), config.prefix + QStringLiteral("/status")}},
                                  QJsonObject{{QStringLiteral("topic"), base + QStringLiteral("/availability")}}};
    const auto entity = [&](const QString &component, const QString &key, const QString &name, QJsonObject fields) {
        fields.insert(QStringLiteral("name"), name);
        fields.insert(QStringLiteral("unique_id"), id + QLatin1Char('_') + key);
        fields.insert(QStringLiteral("object_id"), id + QLatin1Char('_') + key);
        fields.insert(QStringLiteral("device"), device);
        if (!fields.contains(QStringLiteral("availability"))) {
            fields.insert(QStringLiteral("availability"), availability);
            fields.insert(QStringLiteral("availability_mode"), QStringLiteral("all"));
        }
        Publish(QStringLiteral("%1/%2/%3_%4/config").arg(config.discovery, component, id, key), Json(fields), true);
    };
    const QString state_ = base + QStringLiteral("/state"), command = base + QStringLiteral("/set");
    for (int c = 0; c < 3; ++c) {
        const QString name = AllLiveSettings()[c].Name();
        QString key = name.toLower();
        key.replace(QLatin1Char(' '), QLatin1Char('_'));
        entity(QStringLiteral("number"), key, name,
               {{QStringLiteral("command_topic"), command},
                {QStringLiteral("command_template"), QStringLiteral("{\"%1\": {{ value | int }}}").arg(name)},
                {QStringLiteral("state_topic"), state_},
                {QStringLiteral("value_template"), QStringLiteral("{{ value_json['%1'] }}").arg(name)},
                {QStringLiteral("min"), 0},
                {QStringLiteral("max"), state.maximum[c] >= 0 ? state.maximum[c] : HighestVolume},
                {QStringLiteral("step"), 1},
                {QStringLiteral("mode"), QStringLiteral("slider")}});
    }
    entity(QStringLiteral("switch"), QStringLiteral("mute"), QStringLiteral("mute"),
           {{QStringLiteral("command_topic"), command},
            {QStringLiteral("payload_on"), QStringLiteral("{\"mute\": \"ON\"}")},
            {QStringLiteral("payload_off"), QStringLiteral("{\"mute\": \"OFF\"}")},
            {QStringLiteral("state_topic"), state_},
            {QStringLiteral("value_template"), QStringLiteral("{{ value_json.mute }}")},
            {QStringLiteral("state_on"), QStringLiteral("ON")},
            {QStringLiteral("state_off"), QStringLiteral("OFF")}});
    for (const char *name : {"program", "key"}) {
        const QString setting = QLatin1String(name);
        entity(QStringLiteral("select"), setting, setting,
               {{QStringLiteral("command_topic"), command},
                {QStringLiteral("command_template"), QStringLiteral("{\"%1\": \"{{ value }}\"}").arg(setting)},
                {QStringLiteral("state_topic"), state_},
                {QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(setting)},
                {QStringLiteral("options"), Options(*FindLiveSetting(setting))}});
    }
    entity(QStringLiteral("binary_sensor"), QStringLiteral("online"), QStringLiteral("online"),
           {{QStringLiteral("state_topic"), base + QStringLiteral("/availability")},
            {QStringLiteral("payload_on"), QStringLiteral("online")},
            {QStringLiteral("payload_off"), QStringLiteral("offline")},
            {QStringLiteral("device_class"), QStringLiteral("connectivity")},
            {QStringLiteral("availability"), QJsonArray{availability[0]}}});
    entity(QStringLiteral("binary_sensor"), QStringLiteral("drift"), QStringLiteral("drift"),
           {{QStringLiteral("state_topic"), state_},
            {QStringLiteral("value_template"), QStringLiteral("{{ 'ON' if (value_json.drift or 0) > 0 else 'OFF' }}")},
            {QStringLiteral("device_class"), QStringLiteral("problem")}});
}

void MqttBridge::Message(const QString &topic, const QByteArray &payload)
{
    const QString head = config.prefix + QLatin1Char('/');
    const QString scenesHead = head + QStringLiteral("scenes/");
    if (scenes && topic.startsWith(scenesHead) && topic.endsWith(QStringLiteral("/recall")))
        return RecallMessage(topic.mid(scenesHead.size(), topic.size() - scenesHead.size() - 7), payload);
    if (!topic.startsWith(head) || !topic.endsWith(QStringLiteral("/set")))
        return;
    const QString unit = topic.mid(head.size(), topic.size() - head.size() - 4);
    const QString result = head + unit + QStringLiteral("/result");
    // A "request" is no setting: it comes back with the answer, so that a head office can
    // pair answers with its commands.
    QJsonObject settings = QJsonDocument::fromJson(payload).object();
    const QJsonValue request = settings.take(QStringLiteral("request"));
    const auto reply = [this, result, request](int status, QJsonObject body) {
        body.insert(QStringLiteral("status"), status);
        if (!request.isUndefined())
            body.insert(QStringLiteral("request"), request);
        Publish(result, Json(body), false);
    };
    const Actor bridge{Actor::Kind::Bridge, QStringLiteral("mqtt"), config.host,
                       RoleNamed(config.role).value_or(Role::Viewer), {}, nullptr};
    if (!core.Admit(bridge, Action::ReadState, unit, reply))
        return;
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    if (!document.isObject())
        return reply(400, {{QStringLiteral("error"), QStringLiteral("a JSON object of settings and values expected")},
                           {QStringLiteral("code"), QStringLiteral("settings-expected")}});
    core.Change(bridge, unit, NamedValues(settings), reply);
}

void MqttBridge::Attach(SceneRecall &recall, const LiveConfigStore &store)
{
    scenes = &recall;
    live = &store;
    connect(live, &LiveConfigStore::Replaced, this, [this] {
        if (client.IsConnected())
            PublishSceneDiscovery();
    });
}

void MqttBridge::RecallMessage(const QString &scene, const QByteArray &payload)
{
    const QString result = config.prefix + QStringLiteral("/scenes/") + scene + QStringLiteral("/result");
    const auto reply = [this, result](int status, QJsonObject body) {
        body.insert(QStringLiteral("status"), status);
        Publish(result, Json(body), false);
    };
    const Actor bridge{Actor::Kind::Bridge, QStringLiteral("mqtt"), config.host,
                       RoleNamed(config.role).value_or(Role::Viewer), {}, nullptr};
    std::optional<QStringList> on;
    const QJsonDocument document = QJsonDocument::fromJson(payload);
    const QJsonValue units = document.object().value(QStringLiteral("units"));
    if (!payload.trimmed().isEmpty() && (!document.isObject() || !(units.isUndefined() || units.isArray())))
        return reply(400, {{QStringLiteral("error"), QStringLiteral("nothing, or {\"units\": [names]} expected")},
                           {QStringLiteral("code"), QStringLiteral("bad-recall")}});
    if (units.isArray())
        on = units.toVariant().toStringList();
    scenes->Recall(bridge, scene, on, reply);
}

// A scene entity for each scene, which recalls it on all its units; those of scenes a
// reload took away are cleared.
void MqttBridge::PublishSceneDiscovery()
{
    if (config.discovery.isEmpty() || !live)
        return;
    const QString venue = QStringLiteral("quorind_") + UniqueId(QString());
    QStringList said;
    for (const Scene &scene : live->Current().scenes) {
        const QString key = QStringLiteral("scene_") + QString::fromLatin1(scene.name.toUtf8().toPercentEncoding("-_.").replace('%', '_'));
        const QString topic = QStringLiteral("%1/scene/%2_%3/config").arg(config.discovery, UniqueId(QString()), key);
        Publish(topic, Json({{QStringLiteral("name"), scene.name},
                             {QStringLiteral("unique_id"), UniqueId(QString()) + QLatin1Char('_') + key},
                             {QStringLiteral("object_id"), UniqueId(QString()) + QLatin1Char('_') + key},
                             {QStringLiteral("command_topic"), config.prefix + QStringLiteral("/scenes/") + scene.name + QStringLiteral("/recall")},
                             {QStringLiteral("payload_on"), QStringLiteral("{}")},
                             {QStringLiteral("availability_topic"), config.prefix + QStringLiteral("/status")},
                             {QStringLiteral("device"), QJsonObject{{QStringLiteral("identifiers"), QJsonArray{venue}},
                                                                    {QStringLiteral("name"), config.prefix}}}}),
                true);
        said << topic;
    }
    for (const QString &gone : std::as_const(sceneEntities))
        if (!said.contains(gone))
            Publish(gone, {}, true);
    sceneEntities = said;
}

void MqttBridge::Publish(const QString &topic, const QByteArray &payload, bool retain)
{
    client.Publish(topic, payload, retain);
}
