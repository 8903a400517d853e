#include "SimOptions.h"
#include "SimulatorTerminal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

// quorin-sim: a simulated processor on a pseudo-terminal. The terminal's path is the
// only line on standard output; everything else goes to standard error.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorin-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORIN_VERSION));
    SimCommandLine line;
    QString error;
    const std::optional<SimOptions> options = line.Parse(QCoreApplication::arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "quorin-sim: %s\nTry quorin-sim --help.\n", qPrintable(error));
        return 2;
    }
    if (line.parser.isSet(QStringLiteral("help")))
        line.parser.showHelp(0);
    if (line.parser.isSet(QStringLiteral("version")))
        line.parser.showVersion();

    SimulatorTerminal terminal(*options);
    if (!terminal.Open()) {
        std::fprintf(stderr, "quorin-sim: %s\n", qPrintable(terminal.ErrorText()));
        return 1;
    }
    std::fprintf(stdout, "%s\n", qPrintable(terminal.Path()));
    std::fflush(stdout);
    std::fprintf(stderr, "quorin-sim: serving %s\n", qPrintable(terminal.Path()));

    // Being killed closes the terminal cleanly, so that the editor sees the line vanish.
    static int signalPipe[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        struct sigaction action {};
        action.sa_handler = [](int) {
            const char byte = 1;
            const ssize_t written = ::write(signalPipe[0], &byte, 1);
            Q_UNUSED(written);
        };
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
        auto *quitNotifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
        QObject::connect(quitNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
    return app.exec();
}
