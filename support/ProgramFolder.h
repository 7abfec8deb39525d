#pragma once
// The folder that holds the program: INI and script files live beside the
// executable. Tests point it at a temporary folder.
#include <QString>

namespace support {

// The program folder: the override when one is set, else the executable's folder.
QString programFolder();
// Overrides the program folder; an empty path removes the override.
void setProgramFolder(const QString& path);

}  // namespace support
