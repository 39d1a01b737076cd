# Settings of the stand-alone programs and the pieces they share.

find_package(X11 REQUIRED)
set(VELKO_STATIC_JPEG /usr/lib/x86_64-linux-gnu/libjpeg.a CACHE FILEPATH
    "Static libjpeg linked into the stand-alone programs")

# Plain optimised code without debug information, whatever the build tree's type or sanitizer.
function(velko_exported_settings target)
    set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    # Sections per function, so that the linker drops what a program does not call.
    target_compile_options(${target} PRIVATE -Wall -Wextra -O2 -g0 -ffunction-sections
                                             -fdata-sections)
    target_compile_definitions(${target} PRIVATE NDEBUG)
endfunction()
