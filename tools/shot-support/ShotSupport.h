// Helpers of the programs that drive a window offscreen and save pictures of it for docs/.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <string>

namespace shot {

// The folder that save() writes into, from the command line.
void setOutputFolder(const QString& folder);

// Grabs the window into <output folder>/<name>.png and prints the file's name.
void save(QWidget& window, const char* name);
// The same after the pending events (layouts, paints) have been handled.
void saveSettled(QWidget& window, const char* name);

template <class T> T* child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no ") + name);
    return found;
}

// Runs the event loop until the condition holds; false when ms passed first.
bool waitUntil(const std::function<bool()>& condition, int ms = 30000);

// Something like a landscape (sky, sun and hills) width wide in 4:3, so that sizes behave
// like a photo's: IMG_4711.jpg and on in folder.
QStringList writePhotos(const QString& folder, int count, int width);

} // namespace shot
