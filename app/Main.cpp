#include "Main.h"

#include "AppState.h"
#include "MainFrm.h"
#include "UserPrompt.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

namespace {

const QString DpiMessage = QStringLiteral(
    "应用程序检测到您的电脑的当前DPI设置为120或其它值（正常情况下是96DPI），本程序在非96DPI下显示可能不正常，因此建议将系统DPI更改为96DPI。"
    "\r\n\r\n"
    "XP系统请按下面方法更改： 在“桌面”上点击右键，选择“属性”，在“设置”选项卡上点“高级”，然后在“常规”选项卡上将DPI设置改为“正常尺寸（96DPI）”，重新启动电脑即可"
    "\r\n\r\n"
    "Vista系统请按下面方法更改： 在“桌面”上点击右键，选择“个性化”，在左边的任务项处点击“调整字体大小(DPI)”然后选择默认比例，重新启动电脑即可"
    "\r\n\r\n"
    "点击确定退出应用程序。");

const QString ResolutionMessage =
    QStringLiteral("您的电脑显示器分辨率太低,至少需要930*560才能正常显示本程序界面,按确定退出.");

// The checks work on the size in twips divided back, in single precision.
float PixelsFromTwips(int pixels, float twipsPerPixel)
{
    const float twips = static_cast<float>(pixels) * twipsPerPixel;
    return twips / twipsPerPixel;
}

} // namespace

void ConfigureApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("quorin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORIN_VERSION));
}

void LoadQtTranslations()
{
    // Every text of the program's own is Chinese; the buttons and dialogs Qt supplies
    // follow them, whatever the system's language.
    auto *qtTexts = new QTranslator(QCoreApplication::instance());
    if (qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
    else
        delete qtTexts;
}

ScreenMetrics PrimaryScreenMetrics()
{
    ScreenMetrics m;
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return m;
    m.twipsPerPixelX = static_cast<float>(1440.0 / screen->logicalDotsPerInchX());
    m.twipsPerPixelY = static_cast<float>(1440.0 / screen->logicalDotsPerInchY());
    m.widthPixels = screen->geometry().width();
    m.heightPixels = screen->geometry().height();
    return m;
}

StartupDecision DecideStartup(const ScreenMetrics &screen)
{
    if (screen.twipsPerPixelX != 15.0f)
        return StartupDecision::WrongDpi;
    if (PixelsFromTwips(screen.widthPixels, screen.twipsPerPixelX) < 930.0f)
        return StartupDecision::TooSmall;
    if (PixelsFromTwips(screen.heightPixels, screen.twipsPerPixelY) < 560.0f)
        return StartupDecision::TooSmall;
    return PixelsFromTwips(screen.heightPixels, screen.twipsPerPixelY) > 770.0f
        ? StartupDecision::BigLayout
        : StartupDecision::SmallLayout;
}

std::unique_ptr<MainFrm> Main(AppState &state, const ScreenMetrics &screen)
{
    switch (DecideStartup(screen)) {
    case StartupDecision::WrongDpi:
        state.prompt.Warn(DpiMessage);
        return nullptr;
    case StartupDecision::TooSmall:
        state.prompt.Warn(ResolutionMessage);
        return nullptr;
    case StartupDecision::BigLayout:
        state.LayoutVariant = 1;
        break;
    case StartupDecision::SmallLayout:
        state.LayoutVariant = 2;
        break;
    }
    auto window = std::make_unique<MainFrm>(
        state, state.LayoutVariant == 1 ? MainFrm_Big : MainFrm_Small, screen);
    window->show();
    return window;
}
