# Fails when a C++ source of the project is not as clang-format (with the project's .clang-format)
# would write it. Run as: cmake -DCLANG_FORMAT=... -DSOURCE_DIR=... -P check_format.cmake
file(GLOB_RECURSE sources
     ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
     ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h
     ${SOURCE_DIR}/cli/*.cpp ${SOURCE_DIR}/cli/*.h
     ${SOURCE_DIR}/conversion/*.cpp ${SOURCE_DIR}/conversion/*.h
     ${SOURCE_DIR}/serial/*.cpp ${SOURCE_DIR}/serial/*.h
     ${SOURCE_DIR}/startup/*.cpp ${SOURCE_DIR}/startup/*.h
     ${SOURCE_DIR}/system/*.cpp ${SOURCE_DIR}/system/*.h
     ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Not formatted as .clang-format says (clang-format -i fixes it):\n${errors}")
endif()
list(LENGTH sources count)
message(STATUS "${count} sources formatted")
