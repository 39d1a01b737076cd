// One application object for a widget test program, made on first use.
#pragma once

#include <QApplication>

namespace testsupport {

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "velko_widget_tests";
    static char* argv[] = {name, nullptr};
    if (!qApp)
        new QApplication(argc, argv); // lives for the whole program
}

} // namespace testsupport
