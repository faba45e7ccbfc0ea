# Runs lupdate over the sources into a fresh template and fails on what would leave a translation
# incomplete or harmful: a problem lupdate reports (silent, it prints nothing else), texts of the
# code missing, or words the instruments read offered for translation.
# Called as: cmake -DLUPDATE=... -DARGS=... -DOUT=... -P check_template.cmake
file(REMOVE ${OUT})
execute_process(COMMAND ${LUPDATE} ${ARGS} -ts ${OUT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(STRIP "${out}${err}" said)
if(NOT rc EQUAL 0 OR NOT said STREQUAL "")
  message(FATAL_ERROR "lupdate (exit ${rc}) reported:\n${said}")
endif()

file(READ ${OUT} ts)
string(REGEX MATCHALL "<message[ >]" messages "${ts}")
list(LENGTH messages count)
if(count LESS 150)
  message(FATAL_ERROR "the template holds only ${count} texts")
endif()
# Texts from tr() in a form's code, from a QT_TR_NOOP table and from translate() outside any QObject.
foreach(text "Invalid Channel Address" "Error detected in the scaling factor" "V917 Configuration Software Help")
  string(FIND "${ts}" "<source>${text}</source>" at)
  if(at LESS 0)
    message(FATAL_ERROR "the template lacks \"${text}\"")
  endif()
endforeach()
# Drop-down entries that are stored in records and sent as they stand, the link's port, mode and
# speed entries that are written to the file, and the scan's start address.
string(REGEX MATCH "<source>(COMM|MEMORY|ASCII|HEX|BIN|IMM|BUTTON|DELAY|LEVEL|TIME|DURATION|BURST|COM1|COM2|RS232|RS422|RS485|600|1200|2400|4800|9600|19200|38400|57600|00)</source>"
  data "${ts}")
if(data)
  message(FATAL_ERROR "a record word is offered for translation: ${data}")
endif()
message(STATUS "${count} texts")
