#include "app/Application.h"

#include <QMessageBox>
#include <exception>

#include "Version.h"

namespace pb {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("NORDAX"));
    setApplicationName(QStringLiteral("PanelBench"));
    setApplicationDisplayName(QStringLiteral("Panel Bench"));
    setApplicationVersion(QStringLiteral(PANELBENCH_VERSION));
    // Ties the window to com.nordax.PanelBench.desktop (its name and icon in a desktop's task bar).
    setDesktopFileName(QStringLiteral("com.nordax.PanelBench"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
    return false;
}

void Application::ShowException(const QString& what) {
    QMessageBox::critical(nullptr, applicationDisplayName(), what);
    exit(0);
}

}  // namespace pb
