# Puts the list of settings keys, as PROGRAM prints it, into the manual page:
#   cmake -DPROGRAM=... -DTEMPLATE=... -DOUTPUT=... -P manual_page.cmake
execute_process(COMMAND ${PROGRAM} OUTPUT_VARIABLE keys RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} failed: ${status}")
endif()
file(READ ${TEMPLATE} page)
string(REPLACE ".\\\" SETTINGS KEYS: the build puts the list of keys here.\n" "${keys}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
