# One manual page: SOURCE (scdoc) -> PAGE (roff), then PAGE.gz through packaging/gzip.cmake.
execute_process(COMMAND ${SCDOC} INPUT_FILE ${SOURCE} OUTPUT_FILE ${PAGE}.tmp
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE ${PAGE}.tmp)
    message(FATAL_ERROR "scdoc failed on ${SOURCE}")
endif()
file(RENAME ${PAGE}.tmp ${PAGE})
set(INPUT ${PAGE})
set(OUTPUT ${PAGE}.gz)
include(${CMAKE_CURRENT_LIST_DIR}/../../packaging/gzip.cmake)
