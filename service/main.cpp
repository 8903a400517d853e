#include "Accounts.h"
#include "Alerts.h"
#include "Api.h"
#include "AuditLog.h"
#include "BoundedServer.h"
#include "ChainApi.h"
#include "CapKeeper.h"
#include "LiveConfig.h"
#include "Metrics.h"
#include "MqttBridge.h"
#include "Reload.h"
#include "SceneRecall.h"
#include "Scheduler.h"
#include "ServiceConfig.h"
#include "Sessions.h"
#include "UnitFleet.h"
#include "UserCommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QSocketNotifier>
#include <QSslKey>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void Signalled(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

int Fail(const QString &text, int status)
{
    std::fprintf(stderr, "quorind: %s\n", qPrintable(text));
    return status;
}

std::optional<QSslConfiguration> Tls(const ServiceConfig &config, QString *error)
{
    if (config.tlsCertificate.isEmpty())
        return std::nullopt;
    QFile certificate(config.tlsCertificate), key(config.tlsKey);
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1 or %2").arg(config.tlsCertificate, config.tlsKey);
        return std::nullopt;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(&certificate, QSsl::Pem));
    tls.setPrivateKey(QSslKey(&key, QSsl::Rsa, QSsl::Pem));
    if (tls.localCertificate().isNull() || tls.privateKey().isNull())
        tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem));
    if (tls.localCertificate().isNull() || tls.privateKey().isNull()) {
        *error = QStringLiteral("%1 and %2 hold no PEM certificate and key").arg(config.tlsCertificate, config.tlsKey);
        return std::nullopt;
    }
    return tls;
}

// On SIGTERM or SIGINT: no new command starts, a transfer ends after its frame, and the
// service leaves within 10 s whatever a unit does.
void ShutDownOnSignal(Api &api, UnitFleet &fleet)
{
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe);
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &api);
    QObject::connect(notifier, &QSocketNotifier::activated, &api, [&api, &fleet, notifier] {
        notifier->setEnabled(false);
        api.ShutDown();
        fleet.Stop();
        QElapsedTimer clock;
        clock.start();
        auto *poll = new QTimer(&api);
        // A job's result still on its way is audited before the service leaves.
        QObject::connect(poll, &QTimer::timeout, &api, [&api, &fleet, clock] {
            if ((fleet.Idle() && !api.Waiting()) || clock.elapsed() > 8000)
                QCoreApplication::quit();
        });
        poll->start(50);
    });
    for (int sig : {SIGTERM, SIGINT})
        std::signal(sig, Signalled);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorind"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORIN_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The venue service: keeps every QSV-416MZ processor of the configuration connected and answers an HTTP "
        "JSON API.\n\nquorind --config FILE user add NAME --role admin|staff|viewer [--units A,B] | user passwd "
        "NAME | user del NAME manages the accounts."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(QStringLiteral("config"), QStringLiteral("The configuration file."),
                                          QStringLiteral("FILE"), QStringLiteral("/etc/quorin/quorind.conf"));
    parser.addOption(configOption);
    parser.addPositionalArgument(QStringLiteral("user"), QStringLiteral("Manage the accounts instead of serving."),
                                 QStringLiteral("[user ...]"));
    // The user commands' own options follow them.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(app.arguments()))
        return Fail(parser.errorText(), 2);
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    QString error;
    const std::optional<ServiceConfig> config = ReadServiceConfig(parser.value(configOption), &error);
    if (!config)
        return Fail(error, 2);
    QStringList args = parser.positionalArguments();
    if (!args.isEmpty()) {
        if (args.takeFirst() != QLatin1String("user"))
            return Fail(QStringLiteral("unknown command; see quorind --help"), 2);
        QStringList unitNames;
        for (const UnitConfig &unit : config->units)
            unitNames << unit.name;
        return RunUserCommand(config->accounts, unitNames, args);
    }

    QStringList unitNames;
    for (const UnitConfig &unit : config->units)
        unitNames << unit.name;
    std::optional<LiveConfig> live = ReadLiveConfig(parser.value(configOption), unitNames, &error);
    if (!live)
        return Fail(error, 2);
    Accounts accounts;
    AuditLog audit;
    const std::optional<QSslConfiguration> tls = Tls(*config, &error);
    if (!accounts.Load(config->accounts, &error) || !audit.Open(config->audit, &error)
        || (!config->tlsCertificate.isEmpty() && !tls))
        return Fail(error, 2);
    Metrics metrics;
    Sessions sessions(QDir(config->state).filePath(QStringLiteral("sessions.json")));
    if (!sessions.Load(accounts, &error))
        std::fprintf(stderr, "quorind: %s; starting with no sessions\n", qPrintable(error));
    UnitFleet fleet(*config, metrics);
    ChangeCore core(*config, audit, fleet, metrics);
    LiveConfigStore store(std::move(*live));
    CapKeeper caps(store.Current().caps, core, fleet);
    core.HoldTo(&caps);
    QObject::connect(&store, &LiveConfigStore::Replaced, &caps, [&caps, &store] { caps.Replace(store.Current().caps); });
    Api api(*config, accounts, sessions, audit, fleet, metrics, core);
    Alerts alerts(*config, fleet, core, audit);
    if (!alerts.Start(&error))
        return Fail(error, 2);
    api.ShowAlerts(alerts.List());
    SceneRecall recall(store, core, fleet);
    Scheduler schedule(store, recall, audit);
    api.Attach(recall, schedule);
    BoundedServer::Bounds bounds;
    bounds.headMs = config->headSeconds * 1000;
    bounds.idleMs = config->idleSeconds * 1000;
    auto *server = new BoundedServer(bounds, tls, &api);
    if (!server->listen(config->listenAddress, config->listenPort))
        return Fail(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(config->listenAddress.toString()).arg(config->listenPort).arg(server->errorString()),
                    3);
    api.bind(server);
    for (const QString &name : fleet.Names())
        QObject::connect(fleet.Worker(name), &UnitWorker::DriftRepaired, &api,
                         [&audit](const QString &unit, const QList<SettingDifference> &differences, bool written) {
                             for (const SettingDifference &d : differences)
                                 audit.Append({{QStringLiteral("user"), QStringLiteral("quorind")},
                                               {QStringLiteral("unit"), unit},
                                               {QStringLiteral("setting"), d.setting->Name()},
                                               {QStringLiteral("old"), d.second},
                                               {QStringLiteral("new"), d.first},
                                               {QStringLiteral("result"), written ? QStringLiteral("enforced")
                                                                                  : QStringLiteral("lost")}});
                         });
    std::unique_ptr<MqttBridge> bridge;
    if (config->mqtt.enabled) {
        bridge = std::make_unique<MqttBridge>(config->mqtt, fleet, core);
        bridge->Attach(recall, store);
        if (!bridge->Start(&error))
            return Fail(error, 2);
        alerts.Watch(*bridge);
    }
    std::unique_ptr<ChainApi> chain;
    if (config->chain.enabled) {
        chain = std::make_unique<ChainApi>(config->chain, audit);
        if (!chain->Start(&error))
            return Fail(error, 2);
        api.Follow(*chain);
    }
    ShutDownOnSignal(api, fleet);
    ReloadOnHangup(parser.value(configOption), unitNames, store, &api);
    fleet.Start();
    caps.Start();
    schedule.Start();
    std::fprintf(stderr, "quorind: %lld units, listening on %s:%u\n", qlonglong(fleet.Names().size()),
                 qPrintable(config->listenAddress.toString()), server->serverPort());
    const int status = app.exec();
    sessions.Save();
    return status;
}
