# Host build: the portable layers with the headless form backend, and their unit tests.
if(GERM_SANITIZE)
    set(san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_compile_options(${san})
    add_link_options(${san})
    # The layers' libraries were created before these directory options were set.
    foreach(layer IN LISTS GERM_LAYER_TARGETS)
        target_compile_options(${layer} PRIVATE ${san})
    endforeach()
endif()

# libFuzzer targets (clang only): one executable per tests/fuzz/*.cpp and nothing else. They
# build the log's pure functions and the text converter from source, instrumented for coverage,
# so a fuzz build needs neither the rest of the program nor GoogleTest.
if(GERM_FUZZ)
    set(fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
    add_library(germ_fuzz_units STATIC ${CMAKE_SOURCE_DIR}/src/log/stamp.cpp
        ${CMAKE_SOURCE_DIR}/src/log/log_path.cpp ${CMAKE_SOURCE_DIR}/src/platform/posix/text.cpp
        ${CMAKE_SOURCE_DIR}/src/platform/posix/locale.cpp)
    target_include_directories(germ_fuzz_units PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_compile_options(germ_fuzz_units PRIVATE -fsanitize=fuzzer-no-link,address,undefined
        -fno-sanitize-recover=all)
    set_target_properties(${GERM_LAYER_TARGETS} PROPERTIES EXCLUDE_FROM_ALL ON)
    file(GLOB fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp)
    foreach(src IN LISTS fuzz_sources)
        get_filename_component(name ${src} NAME_WE)
        add_executable(${name} ${src})
        target_link_libraries(${name} PRIVATE germ_fuzz_units)
        target_compile_options(${name} PRIVATE ${fuzz_flags})
        target_link_options(${name} PRIVATE ${fuzz_flags})
    endforeach()
    return()
endif()

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(germ_unit_tests ${unit_sources})
target_link_libraries(germ_unit_tests PRIVATE germ_core GTest::gtest GTest::gtest_main)
gtest_discover_tests(germ_unit_tests PROPERTIES LABELS unit)

# Tests that run the Windows build under Wine share one virtual display and one Wine prefix,
# started by a fixture, and take turns because they give real input on that display.
if(NOT GERM_SANITIZE)
    set(GERM_WINDOWS_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/windows CACHE PATH "Windows build folder")
    set(wine_env ${CMAKE_SOURCE_DIR}/tools/wine-env.sh)
    add_test(NAME wine_env_start COMMAND ${wine_env} start)
    add_test(NAME wine_env_stop COMMAND ${wine_env} stop)
    set_tests_properties(wine_env_start PROPERTIES FIXTURES_SETUP wine LABELS wine)
    set_tests_properties(wine_env_stop PROPERTIES FIXTURES_CLEANUP wine LABELS wine)

    # Exit code 77: a test was skipped (under CI=true the program fails instead).
    add_test(NAME win32_tests COMMAND ${wine_env} exec wine ${GERM_WINDOWS_BUILD_DIR}/germ_win32_tests.exe)
    set_tests_properties(win32_tests PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK display
        LABELS wine TIMEOUT 600 SKIP_RETURN_CODE 77)

    # The shipped executable keeps its protections and imports only system DLLs.
    add_test(NAME binary_hardening COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/binary/check_pe.py
        ${GERM_WINDOWS_BUILD_DIR}/Germcatcher.exe)
    add_test(NAME binary_hardening_checker COMMAND python3
        ${CMAKE_SOURCE_DIR}/tests/binary/test_check_pe.py)
    set_tests_properties(binary_hardening_checker PROPERTIES LABELS binary)
    set_tests_properties(binary_hardening PROPERTIES LABELS "binary;harmless")

    # The release: a second build of the sources in another folder gives the same program and
    # the same zip, the project's version reaches every place a user reads one, and the program
    # carries its icon.
    add_test(NAME release_build COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/release/test_release.py)
    set_tests_properties(release_build PROPERTIES LABELS release TIMEOUT 1200
        ENVIRONMENT "GERM_WINDOWS_BUILD=${GERM_WINDOWS_BUILD_DIR}")

    # A release signed with a throw-away certificate verifies, stays hardened and still opens.
    add_test(NAME release_signing COMMAND ${wine_env} exec python3
        ${CMAKE_SOURCE_DIR}/tests/release/test_signing.py)
    set_tests_properties(release_signing PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK display
        LABELS release TIMEOUT 600 SKIP_RETURN_CODE 77
        ENVIRONMENT "GERM_WINDOWS_BUILD=${GERM_WINDOWS_BUILD_DIR}")

    # The hosted Windows runner's workflow, checked by a linter: it cannot run here.
    add_test(NAME workflow_lint COMMAND ${CMAKE_SOURCE_DIR}/tools/lint-workflows.sh)
    set_tests_properties(workflow_lint PROPERTIES LABELS lint TIMEOUT 300)

    # The benchmark's own arithmetic (make bench): time lines and /proc readings to figures.
    add_test(NAME bench_analysis COMMAND python3 ${CMAKE_SOURCE_DIR}/bench/test_bench.py)
    set_tests_properties(bench_analysis PROPERTIES LABELS bench)

    # A short fuzzing run of every libFuzzer target; the script configures and builds the fuzz
    # preset in its own folder. `make fuzz` runs the same targets longer.
    find_program(GERM_CLANGXX clang++)
    if(NOT GERM_CLANGXX AND "$ENV{CI}" STREQUAL "true")
        message(FATAL_ERROR "clang++ is missing, so the fuzzing run would be left out of the "
            "tests; under CI=true every test must run (tools/setup.sh installs clang)")
    endif()
    if(GERM_CLANGXX)
        set(GERM_FUZZ_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/fuzz CACHE PATH "Fuzz build folder")
        add_test(NAME fuzz_smoke COMMAND ${CMAKE_SOURCE_DIR}/tools/fuzz.sh 10)
        set_tests_properties(fuzz_smoke PROPERTIES LABELS fuzz TIMEOUT 600
            ENVIRONMENT "GERM_FUZZ_BUILD=${GERM_FUZZ_BUILD_DIR}")
    endif()

    # The proofs that the program touches nothing but its log (ctest -L harmless) also carry
    # the label harmless.
    file(GLOB e2e_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py)
    foreach(t IN LISTS e2e_tests)
        get_filename_component(name ${t} NAME_WE)
        set(labels e2e)
        if(name MATCHES "^test_harmless")
            list(APPEND labels harmless)
        endif()
        add_test(NAME e2e_${name} COMMAND ${wine_env} exec python3 ${t})
        # Alone on the machine too: the show runs in real time, and a fuzzing run beside it
        # can slow the test's own steps until the show ends under them.
        set_tests_properties(e2e_${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK display
            RUN_SERIAL TRUE LABELS "${labels}" TIMEOUT 900 SKIP_RETURN_CODE 77
            ENVIRONMENT "GERM_WINDOWS_BUILD=${GERM_WINDOWS_BUILD_DIR}")
    endforeach()

    # The suites of the test kit once more on the Windows side: the probe gives the input and
    # reads the pixels, in place of xdotool and ImageMagick, as on a Windows machine.
    foreach(name IN ITEMS test_opening test_guard test_show)
        add_test(NAME e2e_windows_side_${name} COMMAND ${wine_env} exec python3
            ${CMAKE_SOURCE_DIR}/tests/e2e/${name}.py)
        set_tests_properties(e2e_windows_side_${name} PROPERTIES FIXTURES_REQUIRED wine
            RESOURCE_LOCK display RUN_SERIAL TRUE LABELS "e2e;windows_side" TIMEOUT 900
            SKIP_RETURN_CODE 77
            ENVIRONMENT "GERM_WINDOWS_BUILD=${GERM_WINDOWS_BUILD_DIR};GERM_E2E_SIDE=windows")
    endforeach()
    # The kit holds what it needs: packed, unpacked elsewhere and run from there.
    add_test(NAME test_kit COMMAND ${wine_env} exec python3
        ${CMAKE_SOURCE_DIR}/tests/kit/test_kit.py)
    set_tests_properties(test_kit PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK display
        RUN_SERIAL TRUE LABELS "e2e;kit" TIMEOUT 900
        ENVIRONMENT "GERM_WINDOWS_BUILD=${GERM_WINDOWS_BUILD_DIR}")
    # The whole kit again as two other users' machines, each a Wine environment of its own, with
    # changing settings allowed as on the hosted runner: an en-US user who is not told the
    # screen's size, and a ja-JP user with the short date and time that Windows 10 and 11 ship.
    set(kit_en_us GERM_WINE_LANG=en_US.UTF-8 GERM_WINE_NO_SCREEN=1)
    set(kit_ja_jp_windows "GERM_WINE_INTL=sShortDate=yyyy/MM/dd sTimeFormat=H:mm:ss")
    foreach(kit IN ITEMS en_us ja_jp_windows)
        set(kit_env env GERM_WINE_ENV=kit_${kit})
        add_test(NAME kit_${kit}_env_start COMMAND ${kit_env} ${kit_${kit}} ${wine_env} start)
        add_test(NAME kit_${kit}_env_stop COMMAND ${kit_env} ${wine_env} stop)
        set_tests_properties(kit_${kit}_env_start PROPERTIES FIXTURES_SETUP kit_${kit}
            LABELS kit RESOURCE_LOCK display)
        set_tests_properties(kit_${kit}_env_stop PROPERTIES FIXTURES_CLEANUP kit_${kit}
            LABELS kit)
        add_test(NAME test_kit_${kit} COMMAND ${kit_env} ${wine_env} exec python3
            ${CMAKE_SOURCE_DIR}/tests/kit/test_kit.py)
        set_tests_properties(test_kit_${kit} PROPERTIES FIXTURES_REQUIRED kit_${kit}
            RESOURCE_LOCK display RUN_SERIAL TRUE LABELS "e2e;kit" TIMEOUT 1800
            ENVIRONMENT "GERM_WINDOWS_BUILD=${GERM_WINDOWS_BUILD_DIR};GERM_KIT_SUITES=all")
    endforeach()
endif()
