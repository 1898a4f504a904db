# Configures the source in a fresh folder as on a machine without GoogleTest and builds the
# two programs: the build must still work, and must say that the tests are skipped.
set(work ${BUILD_DIR}/no-gtest-check)
file(REMOVE_RECURSE ${work})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${work} -G "${GENERATOR}"
                        "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" -DCMAKE_BUILD_TYPE=Debug
                        -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "configuring without GoogleTest failed:\n${output}${errors}")
endif()
if(NOT output MATCHES "GoogleTest not found \\(install libgtest-dev\\): the unit and program tests are skipped")
    message(FATAL_ERROR "configuring without GoogleTest does not say so:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${work} -j2 --target tessary tessary_pack
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "building without GoogleTest failed:\n${output}${errors}")
endif()
foreach(program tessary tessary_pack)
    if(NOT EXISTS ${work}/bin/${program}${EXECUTABLE_SUFFIX})
        message(FATAL_ERROR "building without GoogleTest made no bin/${program}")
    endif()
endforeach()
file(REMOVE_RECURSE ${work})
