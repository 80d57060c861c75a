# Fails when a text in the sources has no finished English translation, or when the catalogue
# holds one that no source has any more: lupdate reads the sources into a copy of the catalogue,
# which must then have no unfinished or vanished entry.
#   cmake -DLUPDATE=… -DSOURCE_DIR=… -DWORK=… -P check_translations.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY_FILE ${SOURCE_DIR}/translations/hexjpg_en.ts ${WORK}/hexjpg_en.ts)
execute_process(COMMAND ${LUPDATE} -locations none app cli conversion serial startup system
                        -ts ${WORK}/hexjpg_en.ts
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE result OUTPUT_VARIABLE log
                ERROR_VARIABLE log)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed:\n${log}")
endif()
file(READ ${WORK}/hexjpg_en.ts catalogue)
string(REGEX MATCHALL "<source>[^<]*</source>[^<]*<translation type=\"(unfinished|vanished|obsolete)\""
       untranslated "${catalogue}")
if(untranslated)
    list(JOIN untranslated "\n" listed)
    message(FATAL_ERROR "texts without a finished English translation, or gone from the sources "
                        "(run the update_translations target, then translate):\n${listed}")
endif()
message(STATUS "every text has its English translation")
