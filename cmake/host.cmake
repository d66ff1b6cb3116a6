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
        ${CMAKE_SOURCE_DIR}/src/log/log_path.cpp ${CMAKE_SOURCE_DIR}/src/platform/posix/text_posix.cpp
        ${CMAKE_SOURCE_DIR}/src/platform/posix/locale_posix.cpp)
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

# Tests that run the Windows build under Wine run in lanes: each lane is a Wine environment of its
# own (a virtual display, a prefix, a server; tools/wine-env.sh), started by a fixture, and its
# tests take turns in it because they give real input on its display. Lanes run side by side.
if(NOT GERM_SANITIZE)
    set(GERM_WINDOWS_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/windows CACHE PATH "Windows build folder")
    set(wine_env ${CMAKE_SOURCE_DIR}/tools/wine-env.sh)
    # germ_lane(NAME [VAR=VALUE...]): the environment NAME, made as the settings say.
    function(germ_lane lane)
        add_test(NAME ${lane}_env_start COMMAND env GERM_WINE_ENV=${lane} ${ARGN} ${wine_env} start)
        add_test(NAME ${lane}_env_stop COMMAND env GERM_WINE_ENV=${lane} ${wine_env} stop)
        set_tests_properties(${lane}_env_start PROPERTIES FIXTURES_SETUP ${lane} LABELS wine)
        set_tests_properties(${lane}_env_stop PROPERTIES FIXTURES_CLEANUP ${lane} LABELS wine)
    endfunction()
    # germ_in_lane(TEST LANE [VAR=VALUE...]): TEST runs inside the lane's environment, alone in it.
    # Exit code 77: a test was skipped (under CI=true the suite fails instead).
    function(germ_in_lane test lane)
        set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED ${lane} RESOURCE_LOCK ${lane}
            SKIP_RETURN_CODE 77 ENVIRONMENT
            "GERM_WINE_ENV=${lane};GERM_WINDOWS_BUILD=${GERM_WINDOWS_BUILD_DIR};${ARGN}")
    endfunction()
    # Two lanes as the Japanese user Wine makes by default, and two as other users' machines.
    germ_lane(e2e_a)
    germ_lane(e2e_b)
    # An en-US user who is not told the screen's size, and a ja-JP user with the short date
    # Windows 10 and 11 ship (Wine's own is yyyy/M/d).
    germ_lane(kit_en_us GERM_WINE_LANG=en_US.UTF-8 GERM_WINE_NO_SCREEN=1)
    germ_lane(kit_ja_jp_windows GERM_WINE_INTL=sShortDate=yyyy/MM/dd)

    add_test(NAME win32_tests COMMAND ${wine_env} exec wine ${GERM_WINDOWS_BUILD_DIR}/germ_win32_tests.exe)
    germ_in_lane(win32_tests e2e_b)
    set_tests_properties(win32_tests PROPERTIES LABELS wine TIMEOUT 600)

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
    set_tests_properties(release_build PROPERTIES LABELS release TIMEOUT 1200 PROCESSORS 2
        ENVIRONMENT "GERM_WINDOWS_BUILD=${GERM_WINDOWS_BUILD_DIR}")

    # A release signed with a throw-away certificate verifies, stays hardened and still opens.
    add_test(NAME release_signing COMMAND ${wine_env} exec python3
        ${CMAKE_SOURCE_DIR}/tests/release/test_signing.py)
    germ_in_lane(release_signing e2e_b)
    set_tests_properties(release_signing PROPERTIES LABELS release TIMEOUT 600)

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
        set_tests_properties(fuzz_smoke PROPERTIES LABELS fuzz TIMEOUT 600 PROCESSORS 2
            ENVIRONMENT "GERM_FUZZ_BUILD=${GERM_FUZZ_BUILD_DIR}")
    endif()

    # The end-to-end suites on the X side (xdotool's input, the X server's pixels), spread over
    # the two default lanes so that each has about two minutes of shows. The proofs that the program touches nothing but its
    # log (ctest -L harmless) also carry the label harmless.
    file(GLOB e2e_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.py)
    foreach(t IN LISTS e2e_tests)
        get_filename_component(name ${t} NAME_WE)
        set(labels e2e)
        if(name MATCHES "^test_harmless")
            list(APPEND labels harmless)
        endif()
        set(lane e2e_a)
        if(name MATCHES "^test_(harmless|reliability_(concurrency|faults))$")
            set(lane e2e_b)
        endif()
        add_test(NAME e2e_${name} COMMAND ${wine_env} exec python3 ${t})
        germ_in_lane(e2e_${name} ${lane})
        set_tests_properties(e2e_${name} PROPERTIES LABELS "${labels}" TIMEOUT 900)
    endforeach()

    # The test kit's suites once more on the Windows side (the probe gives the input and reads
    # the pixels, in place of xdotool and ImageMagick, as on a Windows machine).
    file(STRINGS ${CMAKE_SOURCE_DIR}/tests/kit/suites.txt kit_suites REGEX "^[^#]")
    foreach(name IN LISTS kit_suites)
        add_test(NAME e2e_windows_side_${name} COMMAND ${wine_env} exec python3
            ${CMAKE_SOURCE_DIR}/tests/e2e/${name}.py)
        set(lane e2e_a)
        if(name STREQUAL "test_show")
            set(lane e2e_b)
        endif()
        germ_in_lane(e2e_windows_side_${name} ${lane} GERM_E2E_SIDE=windows)
        set_tests_properties(e2e_windows_side_${name} PROPERTIES LABELS "e2e;windows_side"
            TIMEOUT 900)
    endforeach()

    # The whole kit, packed, unpacked elsewhere and run from there, as the two other users:
    # changing settings is allowed, as on the hosted runner, and each checks that its settings
    # took.
    set(kit_expect_en_us "--expect-locale=en-US"
        "--expect-stamp=2026-01-04T09:03:07=1/4/2026 9:03:07 AM")
    set(kit_expect_ja_jp_windows "--expect-locale=ja-JP"
        "--expect-stamp=2026-01-04T09:03:07=2026/01/04 9:03:07")
    foreach(kit IN ITEMS en_us ja_jp_windows)
        add_test(NAME test_kit_${kit} COMMAND ${wine_env} exec python3
            ${CMAKE_SOURCE_DIR}/tests/kit/test_kit.py ${kit_expect_${kit}} Kit)
        germ_in_lane(test_kit_${kit} kit_${kit})
        set_tests_properties(test_kit_${kit} PROPERTIES LABELS "e2e;kit" TIMEOUT 1800)
    endforeach()
    # The kit's verdict on suites that misreport, and on a machine that is not the user asked for.
    add_test(NAME kit_verdict COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/kit/test_kit.py Verdict)
    set_tests_properties(kit_verdict PROPERTIES LABELS kit)
endif()
