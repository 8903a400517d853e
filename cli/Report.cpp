#include "Report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

template <typename Setting>
QJsonObject Value(const Setting &setting, quint8 raw)
{
    return {{QStringLiteral("raw"), raw}, {QStringLiteral("shown"), setting.Shown(raw)}};
}

void Print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

} // namespace

int RunStatus(const QList<UnitResult> &results)
{
    int status = AllWell;
    for (const UnitResult &r : results)
        status = std::max(status, r.status);
    return status;
}

void PrintReport(const QString &command, const QList<UnitResult> &results, bool json, const QString &firstSide,
                 const QString &secondSide)
{
    if (json) {
        QJsonArray units;
        for (const UnitResult &r : results) {
            QJsonObject unit{{QStringLiteral("name"), r.unit.name},
                             {QStringLiteral("unit"), r.unit.entry},
                             {QStringLiteral("result"), r.result},
                             {QStringLiteral("code"), r.code.isEmpty() ? r.result : r.code},
                             {QStringLiteral("status"), r.status},
                             {QStringLiteral("seconds"), r.seconds}};
            if (r.model >= 0)
                unit.insert(QStringLiteral("model"), r.model);
            if (!r.message.isEmpty())
                unit.insert(QStringLiteral("message"), r.message);
            if (!r.file.isEmpty())
                unit.insert(QStringLiteral("file"), r.file);
            QJsonArray differences;
            for (const SettingDifference &d : r.differences)
                differences.append(QJsonObject{{QStringLiteral("setting"), d.setting->Name()},
                                               {QStringLiteral("first"), Value(*d.setting, d.first)},
                                               {QStringLiteral("second"), Value(*d.setting, d.second)}});
            if (!r.differences.isEmpty() || r.result == QLatin1String("differs"))
                unit.insert(QStringLiteral("differences"), differences);
            QJsonObject values;
            for (const auto &[setting, raw] : r.values)
                values.insert(setting.Name(), Value(setting, raw));
            if (!r.values.isEmpty())
                unit.insert(QStringLiteral("values"), values);
            units.append(unit);
        }
        const QJsonObject document{{QStringLiteral("command"), command},
                                   {QStringLiteral("first"), firstSide},
                                   {QStringLiteral("second"), secondSide},
                                   {QStringLiteral("status"), RunStatus(results)},
                                   {QStringLiteral("units"), units}};
        Print(QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)));
        return;
    }
    for (const UnitResult &r : results) {
        for (const SettingDifference &d : r.differences)
            Print(QStringLiteral("%1: %2: %3 %4, %5 %6\n")
                      .arg(r.unit.name, d.setting->Name(), firstSide, d.setting->ShownWithRaw(d.first), secondSide,
                           d.setting->ShownWithRaw(d.second)));
        for (const auto &[setting, raw] : r.values)
            Print(QStringLiteral("%1: %2 = %3 (%4)\n").arg(r.unit.name, setting.Name(), setting.Shown(raw)).arg(raw));
    }
    Print(QStringLiteral("%1 %2 %3 %4\n").arg(QStringLiteral("unit"), -24).arg(QStringLiteral("result"), -9)
              .arg(QStringLiteral("seconds"), 8).arg(QStringLiteral("differences")));
    for (const UnitResult &r : results) {
        QString line = QStringLiteral("%1 %2 %3 %4").arg(r.unit.name, -24).arg(r.result, -9)
                           .arg(r.seconds, 8, 'f', 1).arg(r.differences.size(), 11);
        if (!r.message.isEmpty())
            line += QStringLiteral("  ") + r.message;
        Print(line + QLatin1Char('\n'));
    }
}
