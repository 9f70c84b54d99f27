# Runs gifinfo on the sample GIFs and compares its lines with the expected ones.
execute_process(COMMAND ${TOOL} loop3.gif restore.gif missing.gif
                WORKING_DIRECTORY ${DATA}
                OUTPUT_VARIABLE out
                RESULT_VARIABLE rc)
file(READ ${DATA}/gifinfo.expected want)
if(NOT rc EQUAL 0 OR NOT out STREQUAL want)
  message(FATAL_ERROR "gifinfo printed (exit ${rc}):\n${out}\nexpected:\n${want}")
endif()
