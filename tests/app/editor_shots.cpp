// Renders both layouts of the main window into PNG files: editor_shots <folder>.
#include "MainFrm.h"
#include "AppState.h"
#include "ScriptedPrompt.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    ScriptedPrompt prompt;
    AppState state(prompt);
    state.port.SetPortList(QStringList{});
    const struct
    {
        const LayoutGeometry &geometry;
        const char *file;
    } layouts[] = {{MainFrm_Big, "big.png"}, {MainFrm_Small, "small.png"}};
    for (const auto &layout : layouts) {
        MainFrm window(state, layout.geometry, ScreenMetrics{});
        window.show();
        QApplication::processEvents();
        if (!window.grab().save(QDir(folder).filePath(QString::fromLatin1(layout.file))))
            return 1;
        window.C_Option1_OptionClick(1);
        window.C_ComboBox3_ItemClick(3);
        QApplication::processEvents();
        const QString second = QString::fromLatin1(layout.file).replace(QStringLiteral(".png"), QStringLiteral("-pages.png"));
        if (!window.grab().save(QDir(folder).filePath(second)))
            return 1;
    }
    return 0;
}
