# Fails when the help text of a program names an option that its manual page
# source does not describe. Run by CTest with PROGRAM and PAGE.
execute_process(COMMAND ${PROGRAM} --help
  OUTPUT_VARIABLE help ERROR_VARIABLE help_errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${status}):\n${help}${help_errors}")
endif()
file(READ ${PAGE} page)

# Options: a word starting with "-" or "--" after a blank, "[", "|", "," or "(".
# (Brackets would group list elements in CMake: they become blanks first.)
string(REPLACE "[" " " help "${help}")
string(REPLACE "]" " " help "${help}")
string(REGEX MATCHALL "(^|[ \t\n|,(])--?[a-zA-Z][a-zA-Z0-9-]*" found "${help}")
set(options)
foreach(match IN LISTS found)
  string(REGEX MATCH "--?[a-zA-Z][a-zA-Z0-9-]*$" option "${match}")
  list(APPEND options ${option})
endforeach()
list(REMOVE_DUPLICATES options)
if(NOT options)
  message(FATAL_ERROR "no options found in the help text of ${PROGRAM}:\n${help}")
endif()

# In the scdoc source an option is written in bold: *--name* or *-name:*.
set(missing)
foreach(option IN LISTS options)
  string(FIND "${page}" "*${option}*" bold)
  string(FIND "${page}" "*${option}:" classic)
  if(bold EQUAL -1 AND classic EQUAL -1)
    list(APPEND missing ${option})
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " text)
  message(FATAL_ERROR "${PAGE} does not describe these options of ${PROGRAM} --help: ${text}")
endif()
list(JOIN options " " text)
message(STATUS "${PAGE} describes every option of --help: ${text}")
