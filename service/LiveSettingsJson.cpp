#include "Api.h"

#include "LiveSettings.h"

#include <QJsonArray>

// The page words choices by these short names, so that they come from the one table there is.
QJsonObject LiveSettingsJson()
{
    static const char *const Kinds[] = {"volume", "key", "program", "music", "mic"};
    QJsonArray settings;
    for (const LiveSetting &setting : AllLiveSettings()) {
        QJsonArray values;
        for (const quint8 value : setting.Values())
            values.append(QJsonObject{{QStringLiteral("value"), value}, {QStringLiteral("shown"), setting.Shown(value)}});
        settings.append(QJsonObject{{QStringLiteral("name"), setting.Name()},
                                    {QStringLiteral("kind"), QLatin1String(Kinds[int(setting.Group())])},
                                    {QStringLiteral("values"), values}});
    }
    return {{QStringLiteral("settings"), settings}};
}
