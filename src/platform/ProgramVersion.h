// Stands for the "FileVersion" entry of the program's own version resource.
#pragma once

#include <QString>

// The program's name as its windows' captions and message boxes show it.
inline constexpr char kApplicationTitle[] = "Velko Fotodesk";

// The version compiled into the program, at most 100 characters.
QString ProgramFileVersion();
