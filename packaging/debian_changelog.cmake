# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the Debian change log of the package from the release list of the
# AppStream metainfo, newest first, so that the two cannot disagree:
#
#   cmake -DMETAINFO=FILE -DMAINTAINER="Name <address>" -DOUTPUT=FILE -P debian_changelog.cmake
#
# Each <release version="V" date="YYYY-MM-DD"> with its description paragraphs
# and list items becomes one entry; the paragraphs become its bullet points.
file(READ ${METAINFO} metainfo)
string(REGEX MATCH "<releases>(.*)</releases>" ignored "${metainfo}")
set(rest "${CMAKE_MATCH_1}")
set(changelog "")
while(rest MATCHES "<release version=\"([^\"]+)\" date=\"([^\"]+)\"([^>]*)>(.*)")
  set(version "${CMAKE_MATCH_1}")
  set(date "${CMAKE_MATCH_2}")
  set(self_closing "${CMAKE_MATCH_3}")
  set(rest "${CMAKE_MATCH_4}")
  set(body "")
  if(NOT self_closing MATCHES "/$")
    string(FIND "${rest}" "</release>" end)
    string(SUBSTRING "${rest}" 0 ${end} body)
    math(EXPR after "${end} + 10")
    string(SUBSTRING "${rest}" ${after} -1 rest)
  endif()
  # Semicolons would split CMake lists, and an escaped "<" would look like a
  # tag: both stand in as placeholders until the text is written.
  string(REPLACE "&lt;" "@LT@" body "${body}")
  string(REPLACE "&gt;" "@GT@" body "${body}")
  string(REPLACE "&amp;" "&" body "${body}")
  string(REPLACE ";" "@SC@" body "${body}")
  set(items "")
  string(REGEX MATCHALL "<(p|li)>[^<]*</(p|li)>" paragraphs "${body}")
  foreach(paragraph IN LISTS paragraphs)
    string(REGEX REPLACE "</?(p|li)>" "" paragraph "${paragraph}")
    string(REGEX REPLACE "[ \t\r\n]+" " " paragraph "${paragraph}")
    string(STRIP "${paragraph}" paragraph)
    # Wrap at 76 columns, continuation lines under the bullet's text.
    set(line "  *")
    string(REPLACE " " ";" words "${paragraph}")
    foreach(word IN LISTS words)
      string(LENGTH "${line} ${word}" length)
      if(length GREATER 76 AND NOT line MATCHES "^ +\\*?$")
        string(APPEND items "${line}\n")
        set(line "   ")
      endif()
      string(APPEND line " ${word}")
    endforeach()
    string(APPEND items "${line}\n")
  endforeach()
  string(REPLACE "@LT@" "<" items "${items}")
  string(REPLACE "@GT@" ">" items "${items}")
  string(REPLACE "@SC@" ";" items "${items}")
  if(items STREQUAL "")
    set(items "  * Release ${version}.\n")
  endif()
  execute_process(COMMAND date -u -R -d "${date} 12:00:00" OUTPUT_VARIABLE stamp
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  string(APPEND changelog "vexlar (${version}) stable; urgency=medium\n\n${items}\n -- ${MAINTAINER}  ${stamp}\n\n")
endwhile()
if(changelog STREQUAL "")
  message(FATAL_ERROR "${METAINFO} lists no release with a version and a date")
endif()
file(WRITE ${OUTPUT} "${changelog}")
