#pragma once
// A firmware file the simulated controller's tool accepts, so an upgrade can be tried at
// once: the 16-byte text header the tool compares with the model it identified, then a
// short image in whole blocks of the model's loader (docs/controller.md, "Models").

#include <QByteArray>
#include <optional>

#include "sim/SimModels.h"

namespace sim {

// How many blocks of its loader the written image fills.
constexpr int kFirmwareFileBlocks = 8;

// The whole file for model m (product: the "DB" product text, empty for the model's own);
// none for a model without a boot loader.
std::optional<QByteArray> firmwareFileFor(Model m, const QByteArray& product = {});

}  // namespace sim
