// libsane loaded at run time, so that the program starts and works without it.
#pragma once

#include <QString>

#include <sane/sane.h>

#include <memory>

struct SaneLibrary
{
    decltype(&::sane_init) init = nullptr;
    decltype(&::sane_exit) exit = nullptr;
    decltype(&::sane_get_devices) getDevices = nullptr;
    decltype(&::sane_open) open = nullptr;
    decltype(&::sane_close) close = nullptr;
    decltype(&::sane_get_option_descriptor) getOptionDescriptor = nullptr;
    decltype(&::sane_control_option) controlOption = nullptr;
    decltype(&::sane_get_parameters) getParameters = nullptr;
    decltype(&::sane_start) start = nullptr;
    decltype(&::sane_read) read = nullptr;
    decltype(&::sane_cancel) cancel = nullptr;
    decltype(&::sane_set_io_mode) setIoMode = nullptr;
    decltype(&::sane_get_select_fd) getSelectFd = nullptr;
    decltype(&::sane_strstatus) strStatus = nullptr;

    // Loads libsane.so.1 and resolves every call; nullptr with error set when it cannot.
    // Once loaded it stays loaded: backends may leave exit handlers or threads behind that
    // an unload would pull the code from under.
    static std::shared_ptr<const SaneLibrary> load(QString* error = nullptr);

    QString statusText(SANE_Status status) const;
};
