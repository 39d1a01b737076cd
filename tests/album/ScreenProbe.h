// A test's own connection to a private X server: finds the program's window, reads its pixels
// and sends it keys and clicks. Xlib stays inside the .cpp, away from gtest's and the imaging
// library's names.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

class ScreenProbe
{
public:
    using WindowId = unsigned long;

    explicit ScreenProbe(const std::string& display);
    ~ScreenProbe();
    ScreenProbe(const ScreenProbe&) = delete;
    ScreenProbe& operator=(const ScreenProbe&) = delete;

    bool connected() const { return mDisplay != nullptr; }
    int screenWidth() const;
    int screenHeight() const;

    // The top-level window whose class has this resource name; 0 when there is none.
    WindowId windowOfClass(const std::string& resourceName) const;
    // A mapped plain window of the test's own; destroyWindow takes it away.
    WindowId createWindow(int x, int y, int width, int height);
    void destroyWindow(WindowId window);
    std::pair<int, int> size(WindowId window) const;

    // 0xRRGGBB
    std::uint32_t pixel(WindowId window, int x, int y) const;
    static bool near(std::uint32_t a, std::uint32_t b);
    // The program draws on its own time: the pixel is read again until it shows the colour.
    bool waitForColour(WindowId window, int x, int y, std::uint32_t rgb,
                       std::chrono::milliseconds limit = std::chrono::seconds(3)) const;
    // The first row (every 4th) of the column that shows the colour.
    std::optional<int> firstRowWithColour(WindowId window, int x, std::uint32_t rgb) const;

    // key is a key symbol name such as "Right" or "Escape".
    void key(WindowId window, const std::string& key) const;
    void click(WindowId window, int x, int y) const;

    std::string textProperty(WindowId window, const std::string& name) const;
    // Whether the atom list property holds the atom of that name.
    bool hasAtom(WindowId window, const std::string& property, const std::string& atom) const;

private:
    _XDisplay* mDisplay;
};
