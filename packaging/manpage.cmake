# Makes a manual page from a program's --help and --version with help2man, and compresses it as
# Debian wants: cmake -DHELP2MAN=… -DPROGRAM=… -DNAME=… -DLANGUAGE=en|zh_CN -DOUT=page.1.gz
# -P manpage.cmake
get_filename_component(program_name ${PROGRAM} NAME)
get_filename_component(out_dir ${OUT} DIRECTORY)
set(page ${out_dir}/${program_name}.1)
# NAME through an include file: help2man takes a non-ASCII --name as Latin-1.
file(WRITE ${page}.include "[NAME]\n${program_name} \\- ${NAME}\n")
# The programs speak Chinese in the C locale, and English in an English one (help2man passes it
# on to them as LANGUAGE; the locale need not be installed).
if(LANGUAGE STREQUAL "en")
    set(locale en_US.UTF-8)
else()
    set(locale C.UTF-8)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen
                        ${HELP2MAN} --no-info --section=1 --locale=${locale}
                        --include=${page}.include --output=${page} ${PROGRAM}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()
# Chinese has no blanks to stretch or break at: lines are set flush left, not justified, and may
# break after its punctuation.
if(NOT LANGUAGE STREQUAL "en")
    file(READ ${page} text)
    string(REGEX REPLACE "(\n\\.TH [^\n]*\n)" "\\1.ad l\n" text "${text}")
    foreach(mark "，" "；" "。" "：" "、" "）")
        string(REPLACE "${mark}" "${mark}\\:" text "${text}")
    endforeach()
    file(WRITE ${page} "${text}")
endif()
execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
endif()
file(REMOVE ${page}.include)
