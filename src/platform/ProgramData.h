// Stands for "the program's folder": where the manual and the ready-made programs lie.
#pragma once

#include <QString>

// The folder of the installed data: the executable's folder in a build tree,
// else share/velko-fotodesk of the install prefix; VELKO_DATA_DIR, when set, instead.
// Ends without a slash.
QString programDataFolder();

// A file in that folder, e.g. programDataFile("Manual/manual.htm").
QString programDataFile(const QString& relativePath);
