#pragma once
// The compiled resource script built into the program. The script is part of the
// program: a template that is missing or malformed is a build fault, and ends the program
// at once with a message, as a corrupt executable would.

#include "ResourceReader.h"

#include <QString>

#include <vector>

namespace vantrell::qt {

res::Dialog LoadDialogTemplate(int id);
// The dialog's initialisation data; none when the script has none for it.
std::vector<res::DialogInitEntry> LoadDialogInit(int id);
// The string-table entry; "" when the script has none.
QString LoadResourceString(int id);

} // namespace vantrell::qt
