# The Windows program, the probe used by the end-to-end tests, and the Windows-side tests.
target_compile_definitions(germ_core PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601 WINVER=0x0601)
# Windows' KnownDLLs only: any other DLL is searched for in the program's folder first, so the
# common controls are loaded at run time from the system folder instead.
target_link_libraries(germ_core PUBLIC user32 gdi32 advapi32 kernel32)

# Static runtime: the program needs no DLL beyond those that ship with Windows.
set(GERM_STATIC_LINK -static -static-libgcc -static-libstdc++)
set(GERM_HARDENING -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat)

add_executable(Germcatcher WIN32
    ${CMAKE_SOURCE_DIR}/src/app/win32/main.cpp
    ${CMAKE_SOURCE_DIR}/src/app/win32/germcatcher.rc)
target_link_libraries(Germcatcher PRIVATE germ_core)
target_link_options(Germcatcher PRIVATE -municode -s ${GERM_STATIC_LINK} ${GERM_HARDENING})
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/app/win32/germcatcher.rc PROPERTIES
    OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/src/app/win32/germcatcher.manifest)

# Probe: a console program that reads other processes' windows and drives them for the tests.
file(GLOB probe_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/probe/*.cpp)
if(probe_sources)
    add_executable(probe ${probe_sources})
    target_compile_definitions(probe PRIVATE UNICODE _UNICODE NOMINMAX)
    target_link_options(probe PRIVATE -municode ${GERM_STATIC_LINK})
    target_link_libraries(probe PRIVATE user32 gdi32 comctl32 kernel32)
endif()

# Windows-side GoogleTest tests of the Win32 layers, run under Wine. Debian ships GoogleTest's
# sources, which are built here with the cross compiler.
file(GLOB wine_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.cpp)
if(wine_test_sources AND EXISTS /usr/src/googletest/googletest/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    target_compile_options(gtest PRIVATE -Wno-error)
    target_compile_options(gtest_main PRIVATE -Wno-error)
    add_executable(germ_wine_tests ${wine_test_sources})
    target_link_libraries(germ_wine_tests PRIVATE germ_core gtest gtest_main)
    target_link_options(germ_wine_tests PRIVATE ${GERM_STATIC_LINK})
endif()
