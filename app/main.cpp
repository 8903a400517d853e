#include "Main.h"
#include "MainFrm.h"
#include "ProgramState.h"
#include "QtUserPrompt.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ConfigureApplication();

    QtUserPrompt prompt;
    ProgramState state(prompt);
    // Confirmed closing ends everything at once, even from inside a wait for a reply.
    state.EndProgram = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    const QByteArray ports = qgetenv("QUORIN_PORTS");
    if (!ports.isEmpty())
        state.port.SetPortList(PortListFromText(QString::fromLocal8Bit(ports)));

    std::unique_ptr<MainFrm> window = Main(state, PrimaryScreenMetrics());
    if (!window)
        return 0;
    prompt.SetOwner(window.get());
    return app.exec();
}
