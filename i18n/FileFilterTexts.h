#pragma once
// The filters of the window's firmware file dialog: the firmware files first, then every
// file (a file saved under another extension can still be picked).

#include <QStringList>

namespace pb {

// "Firmware files (*.KVF)", then "All files (*)" in the language.
QStringList FirmwareFileFilters(int language);

}  // namespace pb
