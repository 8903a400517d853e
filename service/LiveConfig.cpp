#include "LiveConfig.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

namespace {

const QStringList SceneSettings{QStringLiteral("MUS volume"), QStringLiteral("MIC volume"), QStringLiteral("KTV volume"),
                                QStringLiteral("mute"),       QStringLiteral("key"),        QStringLiteral("program"),
                                QStringLiteral("music"),      QStringLiteral("mic")};
const QStringList DayNames{QStringLiteral("mon"), QStringLiteral("tue"), QStringLiteral("wed"), QStringLiteral("thu"),
                           QStringLiteral("fri"), QStringLiteral("sat"), QStringLiteral("sun")};

// A scene's name stands in a URL and an MQTT topic.
QString SceneNameFault(const QString &name)
{
    if (name.isEmpty() || name.size() > 64)
        return QStringLiteral("a scene's name has 1 to 64 characters");
    for (const QChar c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_') && c != QLatin1Char('.'))
            return QStringLiteral("a scene's name holds letters, digits, - _ and . only");
    if (name.startsWith(QLatin1Char('.')))
        return QStringLiteral("a scene's name does not start with .");
    return {};
}

// "mon-fri", "fri,sat", "sat-mon": a bit for each day.
std::optional<quint8> Days(const QString &text)
{
    quint8 days = 0;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        const qsizetype first = DayNames.indexOf(ends.value(0).toLower()), last = DayNames.indexOf(ends.value(ends.size() - 1).toLower());
        if (ends.size() > 2 || first < 0 || last < 0)
            return std::nullopt;
        for (qsizetype d = first;; d = (d + 1) % 7) {
            days |= quint8(1 << d);
            if (d == last)
                break;
        }
    }
    return days;
}

class Reader
{
public:
    Reader(const QString &path, const QStringList &units, QString *error) : path(path), units(units), error(error) {}

    bool Fail(int line, const QString &reason)
    {
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(reason);
        return false;
    }
    bool SceneKey(Scene &scene, int line, const QString &key, const QString &value);
    bool ScheduleKey(LiveConfig &config, int line, const QString &key, const QString &value);
    bool Finish(LiveConfig &config, const QHash<QString, int> &sceneLines);

private:
    QString path;
    QStringList units;
    QString *error;
    QHash<QPair<int, int>, int> takenBy;  // (day, minute) -> the line that takes it
    QList<int> entryLines;
};

bool Reader::SceneKey(Scene &scene, int line, const QString &key, const QString &value)
{
    if (key == QLatin1String("units")) {
        scene.units.clear();
        if (value == QLatin1String("*"))
            return true;
        for (const QString &name : value.split(QLatin1Char(','))) {
            if (!units.contains(name.trimmed()))
                return Fail(line, QStringLiteral("no unit is named \"%1\"").arg(name.trimmed()));
            scene.units << name.trimmed();
        }
        return true;
    }
    if (key == QLatin1String("fade")) {
        bool ok = false;
        scene.fade = value.toInt(&ok);
        return ok && scene.fade >= 0 && scene.fade <= 3600 ? true : Fail(line, QStringLiteral("fade takes 0 to 3600 seconds"));
    }
    if (key == QLatin1String("staff")) {
        if (value != QLatin1String("true") && value != QLatin1String("false"))
            return Fail(line, QStringLiteral("staff takes true or false"));
        scene.staff = value == QLatin1String("true");
        return true;
    }
    const NamedValue setting = ReadNamedValue(key, value);
    if (!setting.setting || !SceneSettings.contains(setting.setting.Name()))
        return Fail(line, QStringLiteral("a scene holds units, fade, staff and the settings %1").arg(SceneSettings.join(QStringLiteral(", "))));
    if (!setting)
        return Fail(line, QStringLiteral("\"%1\" is no value of %2").arg(value, setting.setting.Name()));
    for (const NamedValue &held : std::as_const(scene.settings))
        if (held.setting.Name() == setting.setting.Name())
            return Fail(line, QStringLiteral("%1 stands twice in [scene %2]").arg(held.setting.Name(), scene.name));
    scene.settings.append(setting);
    return true;
}

bool Reader::ScheduleKey(LiveConfig &config, int line, const QString &key, const QString &value)
{
    if (key == QLatin1String("catch-up-minutes")) {
        bool ok = false;
        config.catchUpMinutes = value.toInt(&ok);
        return ok && config.catchUpMinutes >= 0 && config.catchUpMinutes <= 24 * 60
            ? true
            : Fail(line, QStringLiteral("catch-up-minutes takes 0 to 1440"));
    }
    static const QRegularExpression form(QStringLiteral("^(?:(\\S+)\\s+)?([01]?\\d|2[0-3]):([0-5]\\d)$"));
    const QRegularExpressionMatch match = form.match(key);
    const std::optional<quint8> days = match.hasMatch() && !match.captured(1).isEmpty() ? Days(match.captured(1))
                                                                                        : std::optional<quint8>(0x7F);
    if (!match.hasMatch() || !days)
        return Fail(line, QStringLiteral("HH:MM=scene, DAYS HH:MM=scene (mon-fri, fri,sat) or catch-up-minutes= expected"));
    ScheduleEntry entry{*days, match.captured(2).toInt() * 60 + match.captured(3).toInt(), value};
    for (int d = 0; d < 7; ++d) {
        if (!(entry.days & (1 << d)))
            continue;
        if (const int taken = takenBy.value({d, entry.minute}); taken > 0)
            return Fail(line, QStringLiteral("%1 %2 is taken already by line %3").arg(DayNames[d], key.right(5).trimmed()).arg(taken));
        takenBy.insert({d, entry.minute}, line);
    }
    config.schedule.append(entry);
    entryLines.append(line);
    return true;
}

bool Reader::Finish(LiveConfig &config, const QHash<QString, int> &sceneLines)
{
    for (const Scene &scene : std::as_const(config.scenes))
        if (scene.settings.isEmpty())
            return Fail(sceneLines.value(scene.name), QStringLiteral("[scene %1] sets nothing").arg(scene.name));
    for (qsizetype i = 0; i < config.schedule.size(); ++i)
        if (!config.FindScene(config.schedule[i].scene))
            return Fail(entryLines[i], QStringLiteral("no scene is named \"%1\"").arg(config.schedule[i].scene));
    return true;
}

} // namespace

const Scene *LiveConfig::FindScene(const QString &name) const
{
    for (const Scene &scene : scenes)
        if (scene.name == name)
            return &scene;
    return nullptr;
}

bool IsLiveSection(const QString &section)
{
    return section == QLatin1String("schedule") || section.startsWith(QLatin1String("scene "))
        || section.startsWith(QLatin1String("cap "));
}

std::optional<LiveConfig> ReadLiveConfig(const QString &path, const QStringList &units, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    Reader reader(path, units, error);
    LiveConfig config;
    QHash<QString, int> sceneLines;
    enum class In { Other, Scene, Schedule, Cap } in = In::Other;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (int n = 1; n <= lines.size(); ++n) {
        const QString line = lines[n - 1].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString section = line.mid(1, line.size() - 2).trimmed();
            in = section == QLatin1String("schedule")        ? In::Schedule
                : section.startsWith(QLatin1String("scene ")) ? In::Scene
                : section.startsWith(QLatin1String("cap "))   ? In::Cap
                                                             : In::Other;
            if (in == In::Cap)
                config.caps.append(CapConfig(section.mid(4).trimmed(), n));
            if (in != In::Scene)
                continue;
            const QString name = section.mid(6).trimmed();
            if (const QString fault = SceneNameFault(name); !fault.isEmpty()) {
                reader.Fail(n, fault);
                return std::nullopt;
            }
            if (sceneLines.contains(name)) {
                reader.Fail(n, QStringLiteral("[scene %1] stands already on line %2").arg(name).arg(sceneLines[name]));
                return std::nullopt;
            }
            sceneLines.insert(name, n);
            config.scenes.append({name, {}, {}, 0, false});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (in == In::Other || equals <= 0)
            continue;  // the fixed part's reader judges these
        const QString key = line.left(equals).trimmed(), value = line.mid(equals + 1).trimmed();
        if (in == In::Cap) {
            if (const QString fault = ReadCapKey(config.caps.last(), key, value); !fault.isEmpty()) {
                reader.Fail(n, fault);
                return std::nullopt;
            }
            continue;
        }
        if (!(in == In::Scene ? reader.SceneKey(config.scenes.last(), n, key, value) : reader.ScheduleKey(config, n, key, value)))
            return std::nullopt;
    }
    for (const CapConfig &cap : std::as_const(config.caps))
        if (const QString fault = CapFault(cap, units); !fault.isEmpty()) {
            reader.Fail(cap.line, fault);
            return std::nullopt;
        }
    if (!reader.Finish(config, sceneLines))
        return std::nullopt;
    return config;
}
