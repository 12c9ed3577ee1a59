# INPUT -> OUTPUT compressed with gzip -9n (no name or time stamp inside, as Debian wants).
execute_process(COMMAND ${GZIP} -9n -c ${INPUT} OUTPUT_FILE ${OUTPUT}.tmp RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE ${OUTPUT}.tmp)
    message(FATAL_ERROR "gzip failed on ${INPUT}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
