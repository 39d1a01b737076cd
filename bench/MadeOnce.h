// Photo sets that take minutes to make are made once and kept between runs.
#pragma once

#include <QString>

#include <functional>

// Keeps the folder if its mark file says an earlier run completed it. Otherwise an older or
// unfinished set goes as a whole, make() fills the emptied folder, and the mark is written
// last; false if the folder could not be made or make() failed.
bool makeOnce(const QString& folder, const char* mark, const std::function<bool()>& make);
