// The program's settings files, standing for the registry key "\software\Velkorp\Fotodesk"
// under the machine-wide and the per-user root.
#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// <first absolute entry of XDG_CONFIG_DIRS, else /etc/xdg>/Velkorp/Fotodesk.conf
QString machineSettingsPath();
// <XDG_CONFIG_HOME when absolute, else ~/.config>/Velkorp/Fotodesk.conf
QString userSettingsPath();

// The machine-wide settings, for reading; nullptr when the file does not exist or cannot be
// read (the key cannot be opened). Values Qt can parse are used even if other lines are not.
std::unique_ptr<QSettings> openMachineSettings();

// The user's settings. Without create, nullptr when the file does not exist; with create,
// the folder is made and the file appears on the first sync. nullptr as well when the file
// cannot be read or does not parse in full, so that writing never drops lines it did not read.
std::unique_ptr<QSettings> openUserSettings(bool create);
