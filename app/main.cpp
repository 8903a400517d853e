#include "Main.h"
#include "AppState.h"
#include "MainFrm.h"
#include "PortEntry.h"
#include "QtUserPrompt.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>

namespace {

// The ports the search goes through instead of the system's serial devices:
// --ports first, then $QUORIN_PORTS. False, with the reason on standard error,
// when a list was given but is not one.
bool TakePortList(const QCommandLineParser &options, const QCommandLineOption &portsOption, RS232Port &port)
{
    QString text = options.value(portsOption);
    QString origin = QStringLiteral("--ports");
    if (!options.isSet(portsOption)) {
        text = QString::fromLocal8Bit(qgetenv("QUORIN_PORTS"));
        origin = QStringLiteral("QUORIN_PORTS");
        if (text.isEmpty())
            return true;
    }
    QString error;
    const std::optional<QStringList> ports = ParsePortList(text, &error);
    if (!ports) {
        std::fprintf(stderr, "quorin: %s: %s\n", qPrintable(origin), qPrintable(error));
        return false;
    }
    port.SetPortList(*ports);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    const QCommandLineOption portsOption(
        QStringLiteral("ports"),
        QStringLiteral("Search these ports as COM1, COM2, ... instead of the serial devices: entries separated by "
                       "commas, each %1. Overrides QUORIN_PORTS.")
            .arg(PortEntryForms()),
        QStringLiteral("LIST"));
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Editor for the QSV-416MZ karaoke and audio effects processor."));
    options.addHelpOption();
    options.addVersionOption();
    options.addOption(portsOption);
    // Help, the version and a bad option are answered without a display, as on a
    // terminal over the network.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!options.parse(arguments) || options.isSet(QStringLiteral("help"))
        || options.isSet(QStringLiteral("help-all")) || options.isSet(QStringLiteral("version"))) {
        QCoreApplication terminal(argc, argv);
        ConfigureApplication();
        options.process(terminal);
    }

    QApplication app(argc, argv);
    ConfigureApplication();
    options.process(app);
    LoadQtTranslations();

    QtUserPrompt prompt;
    AppState state(prompt);
    // Confirmed closing ends everything at once, even from inside a wait for a reply.
    state.EndProgram = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    if (!TakePortList(options, portsOption, state.port))
        return 2;

    std::unique_ptr<MainFrm> window = Main(state, PrimaryScreenMetrics());
    if (!window)
        return 0;
    prompt.SetOwner(window.get());
    return app.exec();
}
