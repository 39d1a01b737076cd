// The messages the grid's workers and the shell send to the grid's window.
#pragma once

#include "WindowMessenger.h"

inline constexpr int WM_THUMB_DONE = WM_USER + 1;        // thumbnail worker: result ready
inline constexpr int WM_SCAN_ITEM = WM_USER + 2;         // scan worker: found path ready
inline constexpr int WM_SCAN_DONE = WM_USER + 3;         // scan worker: folder finished
inline constexpr int WM_GRID_SHELL_CHANGE = WM_USER + 4; // shell: the shown folder changed
