// Panel Bench: a bench test tool for the KV410 door access controller.
#include <QScreen>
#include <exception>

#include "app/Application.h"
#include "app/TfrmModule.h"

int main(int argc, char** argv) {
    pb::Application app(argc, argv);
    try {
        TfrmModule frmModule;
        // Centred on the screen; the size is fixed before it is shown.
        frmModule.adjustSize();
        if (const QScreen* screen = frmModule.screen())
            frmModule.move(screen->availableGeometry().center() - frmModule.rect().center());
        frmModule.show();
        pb::Application::exec();
    } catch (const std::exception& e) {
        pb::Application::ShowException(QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
