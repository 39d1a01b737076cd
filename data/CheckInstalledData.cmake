# Installs the desktop component into PREFIX and checks what a desktop finds there: the
# launcher as the media handler, the software-centre entry naming it, and each icon at its size;
# then the manual beside the program's data.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component desktop
                        --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "installing the desktop component failed: ${result}")
endif()
set(share ${PREFIX}/share)

file(STRINGS ${share}/applications/velko-fotodesk.desktop desktop)
foreach(line "Exec=velko-fotodesk %f" "MimeType=x-content/image-dcf;x-content/image-picturecd;"
             "Icon=velko-fotodesk")
    if(NOT line IN_LIST desktop)
        message(FATAL_ERROR "the installed .desktop file lacks the line '${line}'")
    endif()
endforeach()

file(READ ${share}/metainfo/${METAINFO} metainfo)
if(NOT metainfo MATCHES "<launchable type=\"desktop-id\">([^<]+)</launchable>")
    message(FATAL_ERROR "the metainfo names no launchable")
endif()
if(NOT EXISTS ${share}/applications/${CMAKE_MATCH_1})
    message(FATAL_ERROR "the metainfo launches ${CMAKE_MATCH_1}, which is not installed")
endif()

if(NOT EXISTS ${share}/icons/hicolor/scalable/apps/velko-fotodesk.svg)
    message(FATAL_ERROR "the scalable icon is not installed")
endif()
foreach(size 48 64 128 256)
    set(icon ${share}/icons/hicolor/${size}x${size}/apps/velko-fotodesk.png)
    if(NOT EXISTS ${icon})
        message(FATAL_ERROR "no ${size} px icon: ${icon}")
    endif()
    # Width and height are the two big-endian words of the PNG header's IHDR chunk.
    file(READ ${icon} header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING ${header} 0 8 w)
    string(SUBSTRING ${header} 8 8 h)
    math(EXPR width "0x${w}")
    math(EXPR height "0x${h}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "the ${size} px icon is ${width} x ${height}")
    endif()
endforeach()

# The manual that Help opens: the page, and every picture and link it has inside its own
# folder, since a browser opens it from the disk with nothing else at hand.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component manual
                        --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "installing the manual failed: ${result}")
endif()
set(manual_dir ${share}/velko-fotodesk/Manual)
if(NOT EXISTS ${manual_dir}/manual.htm)
    message(FATAL_ERROR "the manual is not installed: ${manual_dir}/manual.htm")
endif()
file(READ ${manual_dir}/manual.htm page)
string(REGEX MATCHALL "(src|href)=\"[^\"#][^\"]*\"" references "${page}")
set(pictures 0)
foreach(reference IN LISTS references)
    string(REGEX REPLACE "^(src|href)=\"([^\"]*)\"$" "\\2" target "${reference}")
    if(target MATCHES "://")
        message(FATAL_ERROR "the manual reaches outside its folder: ${target}")
    endif()
    if(NOT EXISTS ${manual_dir}/${target})
        message(FATAL_ERROR "the manual shows ${target}, which is not installed")
    endif()
    if(target MATCHES "\\.png$")
        math(EXPR pictures "${pictures} + 1")
    endif()
endforeach()
if(pictures EQUAL 0)
    message(FATAL_ERROR "the installed manual shows no pictures")
endif()
