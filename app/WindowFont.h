#pragma once
// Turns a language font into a Qt font of an installed family.

#include <QFont>

#include "i18n/LanguageFont.h"

namespace pb {

// The named family when it is installed, else an installed family that writes the
// character set's script (Latin for ANSI, Simplified or Traditional Chinese).
QString InstalledFamilyFor(const QString& name, int charset);

// `base` with family, point size and (when valid) the style bits of `font`.
QFont WindowFontFor(const LanguageFont& font, QFont base);

}  // namespace pb
