# The Windows build's tests, run under Wine in a prefix of this build's own. The end-to-end
# suite, the settings comparison and the comparison of the two builds' files are the Linux
# build's, run against this build's programs: TESSARY_NATIVE_BUILD_DIR names that build.
set(TESSARY_NATIVE_BUILD_DIR "" CACHE PATH "A Linux build of this source, for the Windows tests")
set(wine_environment WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all
    WINEDLLOVERRIDES=winedbg.exe=d)

add_test(NAME wine_start COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine.sh start)
add_test(NAME wine_stop COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine.sh stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine
                     ENVIRONMENT "${wine_environment}")
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine
                     ENVIRONMENT "${wine_environment}")

function(tessary_add_wine_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "ENVIRONMENT;COMMAND")
    add_test(NAME ${name} COMMAND ${arg_COMMAND})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine
                         ENVIRONMENT "${wine_environment};${arg_ENVIRONMENT}")
endfunction()

# A GoogleTest program in parts that CTest runs side by side.
function(tessary_add_wine_shards name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "ENVIRONMENT;COMMAND")
    set(parts 4)
    math(EXPR last "${parts} - 1")
    foreach(part RANGE ${last})
        tessary_add_wine_test(${name}_${part} COMMAND ${arg_COMMAND} ENVIRONMENT
                              ${arg_ENVIRONMENT} GTEST_TOTAL_SHARDS=${parts}
                              GTEST_SHARD_INDEX=${part})
    endforeach()
endfunction()

# The archive a user unpacks, checked as one: its files, and its programs reading its
# settings.
tessary_add_wine_test(windows_archive COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
    -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/windows_archive_check.cmake)

if(NOT TESSARY_NATIVE_BUILD_DIR)
    message(STATUS "TESSARY_NATIVE_BUILD_DIR is not set: the Windows programs are not run "
                   "through the end-to-end suite nor compared with the Linux build's")
    return()
endif()
set(native ${TESSARY_NATIVE_BUILD_DIR})
set(launcher TESSARY_LAUNCHER=${CMAKE_CROSSCOMPILING_EMULATOR})

# Left out, as they hold for Linux only: the deep-folder cases (Windows cuts the program's
# path at 260 characters, so a program deeper than that finds no settings). The tables'
# rows that write onto /dev/full leave themselves out (LinuxOnlyRow).
set(linux_only *DeepFolder*)
tessary_add_wine_shards(windows_program_tests
    COMMAND ${native}/tests/program_tests --gtest_filter=-${linux_only}
    ENVIRONMENT TESSARY_EXE=${TESSARY_PROGRAM_DIR}/tessary.exe
                TESSARY_PACK_EXE=${TESSARY_PROGRAM_DIR}/tessary_pack.exe ${launcher})

tessary_add_wine_test(windows_settings_compare
    COMMAND ${native}/tests/settings_compare_tests
    ENVIRONMENT TESSARY_WINDOWS_SETTINGS_DUMP=$<TARGET_FILE:settings_dump> ${launcher})

tessary_add_wine_test(windows_same_files
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows_same_files_test.sh ${native}/bin
            ${TESSARY_PROGRAM_DIR} ${CMAKE_BINARY_DIR}/same-files ${CMAKE_CROSSCOMPILING_EMULATOR})
