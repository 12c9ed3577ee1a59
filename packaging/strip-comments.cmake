# CPack runs this after installing into its staging folder: the programs lose the
# .comment and .note sections (the compiler's ident strings), as dh_strip does.
file(GLOB programs ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*)
foreach(program ${programs})
    execute_process(COMMAND ${CPACK_DEVEDAZI_STRIP} --remove-section=.comment
                            --remove-section=.note ${program}
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "strip failed on ${program}")
    endif()
endforeach()
