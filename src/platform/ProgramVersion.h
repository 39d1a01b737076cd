// Stands for the "FileVersion" entry of the program's own version resource.
#pragma once

#include <QString>

// The version compiled into the program, at most 100 characters.
QString ProgramFileVersion();
