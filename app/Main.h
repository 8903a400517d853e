#pragma once

#include <memory>

class MainFrm;
struct AppState;

// Names the program for Qt. No display name: Qt would append it to every window's caption.
void ConfigureApplication();
// Qt's own texts in the window's language, Chinese: message box buttons, file dialogs.
void LoadQtTranslations();

// What the display reports, in the units the start-up checks work in.
struct ScreenMetrics
{
    float twipsPerPixelX = 15;
    float twipsPerPixelY = 15;
    int widthPixels = 0;
    int heightPixels = 0;
};

// The primary screen as Qt reports it: twips per pixel from the logical DPI,
// the size in device-independent pixels.
ScreenMetrics PrimaryScreenMetrics();

enum class StartupDecision { WrongDpi, TooSmall, BigLayout, SmallLayout };
StartupDecision DecideStartup(const ScreenMetrics &screen);

// The entry point: checks the display, then creates and shows one main window,
// or tells the user why it cannot and returns none.
std::unique_ptr<MainFrm> Main(AppState &state, const ScreenMetrics &screen);
