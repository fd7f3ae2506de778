// Panel Bench: a bench test tool for the KV410 door access controller.
#include <exception>

#include "app/Application.h"
#include "app/ScreenFit.h"
#include "app/TfrmModule.h"

int main(int argc, char** argv) {
    pb::Application app(argc, argv);
    try {
        TfrmModule frmModule;
        // Centred on the screen, or scrolling inside it when the screen is too small.
        pb::FitWindowToScreen(frmModule);
        frmModule.show();
        pb::Application::exec();
    } catch (const std::exception& e) {
        pb::Application::ShowException(QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
