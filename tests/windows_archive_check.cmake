# Makes the Windows archive, unpacks it as a user does and checks it: the programs, the
# settings file, the demo image and a readme with Windows line ends stand together, and the
# programs run there (under EMULATOR) read those settings.
set(work ${BUILD_DIR}/archive-check)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work}/unpacked)
execute_process(COMMAND ${CMAKE_COMMAND} -E chdir ${BUILD_DIR} cpack -G ZIP -B ${work}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB archive ${work}/*.zip)
if(NOT result EQUAL 0 OR NOT archive)
    message(FATAL_ERROR "cpack made no archive:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archive}
                WORKING_DIRECTORY ${work}/unpacked RESULT_VARIABLE result)
file(GLOB top RELATIVE ${work}/unpacked ${work}/unpacked/*)
set(folder ${work}/unpacked/${top})
file(GLOB files RELATIVE ${folder} ${folder}/*)
list(SORT files)
if(NOT result EQUAL 0 OR NOT files STREQUAL "demo.rom;readme.txt;tessary.exe;tessary.ini;tessary_pack.exe")
    message(FATAL_ERROR "the archive holds '${top}' with '${files}'")
endif()
# Read as bytes: file(READ) drops carriage returns.
file(READ ${folder}/readme.txt bytes HEX)
string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}")
string(REPLACE "0d 0a " "" bare "${bytes}")
file(READ ${folder}/readme.txt readme)
if(bare MATCHES "(^| )0[ad] " OR NOT readme MATCHES "tessary_pack --all levels --rom demo.rom")
    message(FATAL_ERROR "the readme's lines do not all end in CR LF, or it lacks the quick start")
endif()
foreach(program tessary tessary_pack)
    execute_process(COMMAND ${EMULATOR} ${folder}/${program}.exe OUTPUT_VARIABLE usage
                    WORKING_DIRECTORY ${work})
    if(NOT usage MATCHES "5: Iron Fortress")
        message(FATAL_ERROR "the archive's ${program}.exe does not list the demo levels:\n${usage}")
    endif()
endforeach()
file(REMOVE_RECURSE ${work})
