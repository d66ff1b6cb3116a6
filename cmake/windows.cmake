# The Windows program, the probe used by the end-to-end tests, and the Windows-side tests.
# Every layer builds on platform, so its definitions reach them all. The system libraries the
# backends link, all in this one place: the form framework's and the platform services'.
target_compile_definitions(germ_platform PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601)
# Windows' KnownDLLs only: any other DLL is searched for in the program's folder first, so the
# common controls are loaded at run time from the system folder instead.
target_link_libraries(germ_forms PUBLIC user32 gdi32)
target_link_libraries(germ_platform PUBLIC advapi32 kernel32)

# Static runtime: the program needs no DLL beyond those that ship with Windows.
set(GERM_STATIC_LINK -static -static-libgcc -static-libstdc++)
# The flags Windows' own linker sets for a GUI program, terminal-server awareness included.
set(GERM_HARDENING -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat -Wl,--tsaware)
# The same sources give the same bytes: no link time in the header.
set(GERM_REPRODUCIBLE -Wl,--no-insert-timestamp)

# Generated resources: the manifest and the version numbers from the project's version, and the
# icon rendered from its drawing at the sizes Windows asks for (48 and 256 stored as PNG, which
# Windows 7 and later read, to keep the executable small).
set(GERM_RES_DIR ${CMAKE_BINARY_DIR}/res)
set(GERM_VERSION_NUMBERS)
foreach(part MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
        list(APPEND GERM_VERSION_NUMBERS 0)
    else()
        list(APPEND GERM_VERSION_NUMBERS ${PROJECT_VERSION_${part}})
    endif()
endforeach()
list(JOIN GERM_VERSION_NUMBERS "." GERM_VERSION_QUAD)
list(JOIN GERM_VERSION_NUMBERS "," GERM_VERSION_COMMAS)
configure_file(${CMAKE_SOURCE_DIR}/src/app/win32/germcatcher.manifest.in
    ${GERM_RES_DIR}/germcatcher.manifest @ONLY)
file(CONFIGURE OUTPUT ${GERM_RES_DIR}/germcatcher_version.h CONTENT
    "#define GERM_VERSION_NUMBERS @GERM_VERSION_COMMAS@\n#define GERM_VERSION_TEXT \"@GERM_VERSION_QUAD@\"\n"
    @ONLY)

find_program(GERM_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GERM_PNGQUANT pngquant REQUIRED)
find_program(GERM_ICOTOOL icotool REQUIRED)
set(icon_svg ${CMAKE_SOURCE_DIR}/src/app/win32/germcatcher.svg)
set(icon_commands)
set(icon_images)
foreach(size 16 24 32 48 256)
    list(APPEND icon_commands COMMAND ${GERM_RSVG_CONVERT} -w ${size} -h ${size} ${icon_svg}
        -o icon-${size}.png)
    if(size LESS 48)
        list(APPEND icon_images icon-${size}.png)
    else()
        list(APPEND icon_commands COMMAND ${GERM_PNGQUANT} --force --strip --speed 1
            --output icon-${size}-q.png 64 icon-${size}.png)
        list(APPEND icon_images --raw=icon-${size}-q.png)
    endif()
endforeach()
add_custom_command(OUTPUT ${GERM_RES_DIR}/germcatcher.ico
    ${icon_commands}
    COMMAND ${GERM_ICOTOOL} -c -o germcatcher.ico ${icon_images}
    WORKING_DIRECTORY ${GERM_RES_DIR}
    DEPENDS ${icon_svg}
    COMMENT "Rendering the icon"
    VERBATIM)
# One target renders it: the programs that embed it wait for that target, rather than each
# running the command into the same files at once.
add_custom_target(germ_icon DEPENDS ${GERM_RES_DIR}/germcatcher.ico)

add_executable(Germcatcher WIN32
    ${CMAKE_SOURCE_DIR}/src/app/win32/main.cpp
    ${CMAKE_SOURCE_DIR}/src/app/win32/runtime.cpp
    ${CMAKE_SOURCE_DIR}/src/app/win32/germcatcher.rc
    ${GERM_RES_DIR}/germcatcher.ico)
target_link_libraries(Germcatcher PRIVATE germ_core)
add_dependencies(Germcatcher germ_icon)
# Smaller, to stay within 170 KiB: the layers are optimised together at link time and what
# nothing uses is dropped. Fat objects keep the layers linkable without it (the tests).
set(GERM_SIZE_COMPILE -flto -ffat-lto-objects -ffunction-sections -fdata-sections)
foreach(target IN LISTS GERM_LAYER_TARGETS ITEMS Germcatcher)
    target_compile_options(${target} PRIVATE ${GERM_SIZE_COMPILE})
endforeach()
set(GERM_PROGRAM_LINK_OPTIONS -municode -s ${GERM_STATIC_LINK} ${GERM_HARDENING}
    ${GERM_REPRODUCIBLE} -flto -Wl,--gc-sections)
# The linker map names every archive that gave the program code: make dist derives the
# third-party notices from it.
target_link_options(Germcatcher PRIVATE ${GERM_PROGRAM_LINK_OPTIONS}
    -Wl,-Map=${CMAKE_BINARY_DIR}/Germcatcher.map)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/app/win32/germcatcher.rc PROPERTIES
    INCLUDE_DIRECTORIES ${GERM_RES_DIR}
    OBJECT_DEPENDS "${GERM_RES_DIR}/germcatcher.manifest;${GERM_RES_DIR}/germcatcher.ico;${GERM_RES_DIR}/germcatcher_version.h")

# The benchmark's baseline: only the question box, built with the program's own compile
# definitions (taken from the program's targets, so it follows them), link options and its
# manifest, so that the difference measured is the program's own work before its first box.
add_executable(baseline WIN32
    ${CMAKE_SOURCE_DIR}/bench/baseline/baseline.cpp ${CMAKE_SOURCE_DIR}/bench/baseline/baseline.rc)
target_compile_definitions(baseline PRIVATE
    $<TARGET_PROPERTY:germ_platform,INTERFACE_COMPILE_DEFINITIONS>)
target_link_options(baseline PRIVATE ${GERM_PROGRAM_LINK_OPTIONS})
set_source_files_properties(${CMAKE_SOURCE_DIR}/bench/baseline/baseline.rc PROPERTIES
    INCLUDE_DIRECTORIES ${GERM_RES_DIR} OBJECT_DEPENDS ${GERM_RES_DIR}/germcatcher.manifest)

# Probe: a console program that reads other processes' windows and drives them for the tests.
file(GLOB probe_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/probe/*.cpp)
if(probe_sources)
    add_executable(probe ${probe_sources})
    target_compile_definitions(probe PRIVATE UNICODE _UNICODE NOMINMAX)
    # The log's stamps as the system renders them, shared with the Windows-side tests, and the
    # look-up of a function newer than the oldest Windows.
    target_include_directories(probe PRIVATE ${CMAKE_SOURCE_DIR}/tests/win32
        ${CMAKE_SOURCE_DIR}/src)
    # Its map, like the program's, gives the test kit's third-party notices.
    target_link_options(probe PRIVATE -municode ${GERM_STATIC_LINK}
        -Wl,-Map=${CMAKE_BINARY_DIR}/probe.map)
    target_link_libraries(probe PRIVATE user32 gdi32 comctl32 advapi32 kernel32)
endif()

# Windows-side GoogleTest tests of the Win32 layers: a native Windows program, run here under
# Wine and on Windows from the test kit. Debian ships GoogleTest's
# sources, which are built here with the cross compiler.
file(GLOB win32_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
set(GERM_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest's sources")
if(win32_test_sources AND NOT EXISTS ${GERM_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources for the Windows-side tests are missing: no "
        "${GERM_GTEST_SOURCE_DIR}/CMakeLists.txt. Install them with tools/setup.sh (Debian "
        "package googletest) or point GERM_GTEST_SOURCE_DIR at a copy.")
endif()
if(win32_test_sources)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${GERM_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    target_compile_options(gtest PRIVATE -Wno-error)
    add_executable(germ_win32_tests ${win32_test_sources} ${CMAKE_SOURCE_DIR}/tests/win32/icon.rc)
    set_source_files_properties(${CMAKE_SOURCE_DIR}/tests/win32/icon.rc PROPERTIES
        INCLUDE_DIRECTORIES ${GERM_RES_DIR} OBJECT_DEPENDS ${GERM_RES_DIR}/germcatcher.ico)
    add_dependencies(germ_win32_tests germ_icon)
    target_link_libraries(germ_win32_tests PRIVATE germ_core gtest)
    target_link_options(germ_win32_tests PRIVATE ${GERM_STATIC_LINK}
        -Wl,-Map=${CMAKE_BINARY_DIR}/germ_win32_tests.map)
endif()
