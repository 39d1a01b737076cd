#include "SaneLibrary.h"

#include <dlfcn.h>

namespace {

template <typename Function> bool resolve(void* handle, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

std::shared_ptr<const SaneLibrary> loadOnce(QString* error)
{
    // RTLD_LOCAL: the names of libsane and its backends stay out of the program's scope.
    void* handle = ::dlopen("libsane.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error)
            *error = QString::fromLocal8Bit(::dlerror());
        return nullptr;
    }
    auto library = std::make_shared<SaneLibrary>();
    const bool ok = resolve(handle, "sane_init", library->init) &&
                    resolve(handle, "sane_exit", library->exit) &&
                    resolve(handle, "sane_get_devices", library->getDevices) &&
                    resolve(handle, "sane_open", library->open) &&
                    resolve(handle, "sane_close", library->close) &&
                    resolve(handle, "sane_get_option_descriptor", library->getOptionDescriptor) &&
                    resolve(handle, "sane_control_option", library->controlOption) &&
                    resolve(handle, "sane_get_parameters", library->getParameters) &&
                    resolve(handle, "sane_start", library->start) &&
                    resolve(handle, "sane_read", library->read) &&
                    resolve(handle, "sane_cancel", library->cancel) &&
                    resolve(handle, "sane_set_io_mode", library->setIoMode) &&
                    resolve(handle, "sane_get_select_fd", library->getSelectFd) &&
                    resolve(handle, "sane_strstatus", library->strStatus);
    if (!ok) {
        if (error)
            *error = QString::fromLocal8Bit(::dlerror());
        ::dlclose(handle);
        return nullptr;
    }
    return library;
}

} // namespace

std::shared_ptr<const SaneLibrary> SaneLibrary::load(QString* error)
{
    static QString loadError;
    static const std::shared_ptr<const SaneLibrary> library = loadOnce(&loadError);
    if (!library && error)
        *error = loadError;
    return library;
}

QString SaneLibrary::statusText(SANE_Status status) const
{
    const char* text = strStatus ? strStatus(status) : nullptr;
    return text ? QString::fromLocal8Bit(text) : QString::number(int(status));
}
