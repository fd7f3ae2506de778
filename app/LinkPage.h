#pragma once
// Page control pcPort: the link a test opens, on a serial page (port, speed) or a TCP page
// (address, port). It shows the stored link and reads and saves the one on the active page.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include "app/PortComboBox.h"
#include "i18n/Language.h"
#include "link/LinkSettings.h"
#include "settings/Settings.h"

namespace Ui {

// The pages' controls, each under its object name.
struct LinkPageControls {
    QWidget* tsCom = nullptr;
    QLabel* lblPort = nullptr;
    pb::PortComboBox* cmbPort = nullptr;
    QLabel* lblSpeed = nullptr;
    QComboBox* cmbBaudrate = nullptr;
    QWidget* tsNet = nullptr;
    QLabel* lblIP = nullptr;
    QLineEdit* edIP = nullptr;
    QLabel* lblNetPort = nullptr;
    QLineEdit* edPort = nullptr;
};

}  // namespace Ui

class LinkPage : public QTabWidget, public Ui::LinkPageControls {
    Q_OBJECT
public:
    explicit LinkPage(QWidget* parent = nullptr);

    void applyLanguage(pb::Language language);
    // The stored link: the ports of this PC (the stored name wins as text), the speed, the
    // TCP address and the page of the link's kind.
    void showStored(const pb::Settings& settings);
    // The link the active page shows (the other page's values as last read).
    pb::LinkSettings shownLinkSettings();
    // Saves the link kind and the active page's texts, and the adapter behind the port.
    void saveLinkSettings(pb::Settings& settings);

private:
    pb::LinkSettings shown_;
};
