// Panel Bench: a bench test tool for the KV410 door access controller.
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "app/Application.h"
#include "app/QuitOnSignal.h"
#include "app/ScreenFit.h"
#include "app/StationAlone.h"
#include "app/TfrmModule.h"
#include "app/WindowOptions.h"
#include "files/RuntimeDir.h"
#include "settings/Settings.h"

// Start-up notes, off by default: QT_LOGGING_RULES="panelbench.app.debug=true".
Q_LOGGING_CATEGORY(lcApp, "panelbench.app", QtInfoMsg)

int main(int argc, char** argv) {
    // The command line first, with no display: --help, --version and usage errors open
    // no window.
    pb::ParsedWindowOptions parsed;
    std::optional<pb::StationFile> stationFile;
    {
        QCoreApplication commandLine(argc, argv);
        parsed = pb::ParseWindowOptions(QCoreApplication::arguments());
        if (parsed.options && !parsed.options->settingsFile.isEmpty())
            pb::UseSettingsFile(parsed.options->settingsFile);
        // A station recipe or fixture with mistakes opens nothing either.
        if (parsed.options && !parsed.options->stationRecipe.isEmpty()) {
            stationFile = pb::LoadStationFile(parsed.options->stationRecipe);
            if (!stationFile) return 2;
        }
    }
    if (!parsed.options) {
        std::fputs(parsed.output.toLocal8Bit().constData(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }

    const pb::PrivateRuntimeDir runtimeDir;
    pb::Application app(argc, argv);
    const pb::QuitOnSignal quitOnSignal;
    qCDebug(lcApp) << "settings file" << pb::SettingsFilePath();
    if (!runtimeDir.made().isEmpty()) qCDebug(lcApp) << "runtime folder" << runtimeDir.made();
    try {
        if (stationFile) {
            pb::RunStationAlone(std::move(*stationFile));
            return 0;
        }
        TfrmModule frmModule;
        // Centred on the screen, or scrolling inside it when the screen is too small.
        pb::FitWindowToScreen(frmModule);
        frmModule.show();
        QTimer::singleShot(0, &frmModule, [] { qCDebug(lcApp) << "window shown"; });
        pb::Application::exec();
    } catch (const std::exception& e) {
        pb::Application::ShowException(QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
