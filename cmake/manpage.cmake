# cmake -DLOWDOWN=lowdown -DINPUT=doc.md -DOUTPUT=name.1 -DNAME=name -DSUMMARY="…"
#       [-DSYNOPSIS="name [options]"] [-DSECTIONS="Heading,Heading…"]
#       -DSOURCE="Plimora 1.1" -DDATE=YYYY-MM-DD -DSEEALSO="plimora(1)" -P manpage.cmake
#
# Writes a manual page from a Markdown document of the docs, which stays its
# one source: the document's title gives way to the sections a manual page
# opens with (NAME with its one-line summary, SYNOPSIS when given, then
# DESCRIPTION), links keep their text, the transcripts' set-up comments go,
# and SEE ALSO ends it. With SECTIONS, DESCRIPTION holds only the document's
# "## " sections of those headings, in the order given. lowdown turns the
# result into man(7).
cmake_minimum_required(VERSION 3.25)

file(READ "${INPUT}" text)
# HTML comments: the transcripts' set-up lines.
string(REGEX REPLACE "<!--[^>]*-->\n?" "" text "${text}")
# The document's own title.
string(REGEX REPLACE "^# [^\n]*\n" "" text "${text}")
# Links keep their text; a manual page has nowhere to point them. A link's
# text may be code holding brackets of its own.
string(REGEX REPLACE "\\[(`[^`\n]*`)\\]\\([^)\n]*\\)" "\\1" text "${text}")
string(REGEX REPLACE "\\[([^]\n]*)\\]\\([^)\n]*\\)" "\\1" text "${text}")

if(SECTIONS)
    string(REPLACE "," ";" headings "${SECTIONS}")
    set(chosen "")
    foreach(heading IN LISTS headings)
        string(FIND "${text}" "\n## ${heading}\n" start)
        if(start EQUAL -1)
            message(FATAL_ERROR "${INPUT} has no section \"## ${heading}\"")
        endif()
        string(SUBSTRING "${text}" ${start} -1 rest)
        string(SUBSTRING "${rest}" 1 -1 after)
        string(FIND "${after}" "\n## " end)
        if(NOT end EQUAL -1)
            math(EXPR end "${end} + 1")
            string(SUBSTRING "${rest}" 0 ${end} rest)
        endif()
        string(APPEND chosen "${rest}")
    endforeach()
    set(text "${chosen}")
endif()

set(page "# NAME\n\n${NAME} - ${SUMMARY}\n\n")
if(SYNOPSIS)
    string(APPEND page "# SYNOPSIS\n\n    ${SYNOPSIS}\n\n")
endif()
string(APPEND page "# DESCRIPTION\n${text}")
if(SEEALSO)
    string(APPEND page "\n# SEE ALSO\n\n${SEEALSO}\n")
endif()
file(WRITE "${OUTPUT}.md" "${page}")
execute_process(
    COMMAND "${LOWDOWN}" -s -Tman -M "title=${NAME}" -M section=1 -M "date=${DATE}"
            -M "source=${SOURCE}" -M "volume=Plimora" -o "${OUTPUT}.part" "${OUTPUT}.md"
    RESULT_VARIABLE failed)
file(REMOVE "${OUTPUT}.md")
if(failed)
    file(REMOVE "${OUTPUT}.part")
    message(FATAL_ERROR "lowdown could not write ${OUTPUT}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
