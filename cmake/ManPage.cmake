# Turns one scdoc source into a manual page; a failing scdoc leaves no page
# behind, so the next build tries again.
#   cmake -DSCDOC=<scdoc> -DINPUT=<page.1.scd> -DOUTPUT=<page.1> -P ManPage.cmake
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${SCDOC} INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT}.tmp
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "scdoc refuses ${INPUT}: ${errors}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
