#pragma once
// Why a file the user named was not read (files/CheckedFile.h), in the three languages
// of the message table (the same language index): "recipe.json is not a regular file
// (a folder, pipe or device)".

#include <QString>

#include "files/CheckedFile.h"

namespace pb {

// Empty for a file that passed.
QString FileCheckText(const CheckedFile& file, int language);

}  // namespace pb
