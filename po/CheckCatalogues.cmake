# Checks that the templates hold exactly the texts of the sources and that
# every language's catalogues translate every text of their templates, with no
# fuzzy entries. Run by CTest (see CMakeLists.txt in this folder) with
#   PO_DIR, SOURCE_DIR, WORK_DIR, XGETTEXT, MSGCMP, DOMAINS, XGETTEXT_OPTIONS.
set(problems)

file(GLOB language_dirs LIST_DIRECTORIES true ${PO_DIR}/*)
set(languages)
foreach(dir IN LISTS language_dirs)
  if(IS_DIRECTORY ${dir})
    get_filename_component(language ${dir} NAME)
    list(APPEND languages ${language})
  endif()
endforeach()
if(NOT languages)
  list(APPEND problems "no language folders below ${PO_DIR}")
endif()

# msgcmp DEF REF fails when REF has a text that DEF lacks (or, without
# --use-untranslated, leaves untranslated or fuzzy).
function(mp_compare description)
  execute_process(COMMAND ${MSGCMP} ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    # msgcmp names a line; show the text that starts there.
    string(REGEX MATCHALL "[^\n]*:[0-9]+: [^\n]*" reports "${output}")
    set(details)
    foreach(report IN LISTS reports)
      if(report MATCHES "warning: this message is not used")
        continue()
      endif()
      string(REGEX MATCH "^(.*):([0-9]+): (.*)$" _ "${report}")
      set(file ${CMAKE_MATCH_1})
      set(line ${CMAKE_MATCH_2})
      set(what ${CMAKE_MATCH_3})
      # The msgid (with its continuation lines) of the entry holding the line.
      execute_process(
        COMMAND awk -v n=${line}
          "NR > n { exit } /^msgid / { e = $0; m = 1; next } /^msgstr/ { m = 0 } m && /^\"/ { e = e \" \" $0 } END { print e }"
          ${file}
        OUTPUT_VARIABLE entry OUTPUT_STRIP_TRAILING_WHITESPACE)
      string(APPEND details "  ${what}: ${entry}\n")
    endforeach()
    set(problems ${problems} "${description}:\n${details}" PARENT_SCOPE)
  endif()
endfunction()

foreach(domain IN LISTS DOMAINS)
  set(template ${PO_DIR}/${domain}.pot)
  set(fresh ${WORK_DIR}/${domain}-fresh.pot)
  execute_process(
    COMMAND ${XGETTEXT} ${XGETTEXT_OPTIONS} --output=${fresh}
            --files-from=${WORK_DIR}/sources-${domain}.txt
    WORKING_DIRECTORY ${SOURCE_DIR}
    RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    list(APPEND problems "extracting the texts of domain ${domain} failed:\n${errors}")
    continue()
  endif()
  mp_compare("po/${domain}.pot lacks texts of the sources" --use-untranslated ${template} ${fresh})
  mp_compare("po/${domain}.pot holds texts the sources no longer have"
             --use-untranslated ${fresh} ${template})
  foreach(language IN LISTS languages)
    set(catalogue ${PO_DIR}/${language}/${domain}.po)
    if(NOT EXISTS ${catalogue})
      list(APPEND problems "po/${language}/${domain}.po is missing")
      continue()
    endif()
    mp_compare("po/${language}/${domain}.po is behind po/${domain}.pot" ${catalogue} ${template})
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "${text}\n"
    "Update the templates and catalogues with `cmake --build <build folder> --target update-po`, "
    "then translate the new and fuzzy entries of every language.")
endif()
list(JOIN languages ", " language_text)
message(STATUS "Catalogues of ${language_text} complete for: ${DOMAINS}")
