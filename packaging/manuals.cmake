# The folder's manual pages, plimora(1) and plimora-table(1), written with
# lowdown from the docs that are their one source (the README's sections on
# the windows and the table; docs/plimora-table.md), and the shell completion
# of plimora-table. install-desktop-entry puts both where the user's man and
# bash find them.
find_program(PLIMORA_LOWDOWN lowdown)
if(NOT PLIMORA_LOWDOWN)
    message(WARNING "lowdown not found (Debian: lowdown): the program folder will lack its "
                    "manual pages, and packaging/check-folder will say so")
else()
    # The pages carry the date of the newest release in the changelog.
    file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md releases
         REGEX "^## \\[[^]]+\\] - [0-9]+-[0-9]+-[0-9]+$")
    list(GET releases 0 newest)
    string(REGEX REPLACE ".* - " "" release_date "${newest}")
    set(man_dir ${CMAKE_BINARY_DIR}/share/man/man1)
    set(pages)
    # name | source | summary | synopsis | sections | see also
    foreach(page
            "plimora|README.md|look up where a Chinese cell-phone number is registered, offline|plimora|Using it,Keyboard,The table,Upgrading|plimora-table(1)"
            "plimora-table|docs/plimora-table.md|look up whole lists of numbers in Plimora's table and manage your own rows|||plimora(1)")
        string(REPLACE "|" ";" fields "${page}")
        list(GET fields 0 name)
        list(GET fields 1 source)
        list(GET fields 2 summary)
        list(GET fields 3 synopsis)
        list(GET fields 4 sections)
        list(GET fields 5 see_also)
        add_custom_command(OUTPUT ${man_dir}/${name}.1
            COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
            COMMAND ${CMAKE_COMMAND} -DLOWDOWN=${PLIMORA_LOWDOWN}
                    -DINPUT=${PROJECT_SOURCE_DIR}/${source} -DOUTPUT=${man_dir}/${name}.1
                    -DNAME=${name} -DSUMMARY=${summary} -DSYNOPSIS=${synopsis}
                    -DSECTIONS=${sections} -DSOURCE=Plimora\ ${PROJECT_VERSION}
                    -DDATE=${release_date} -DSEEALSO=${see_also}
                    -P ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
            DEPENDS ${PROJECT_SOURCE_DIR}/${source} ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
            COMMENT "Writing the manual page ${name}(1)"
            VERBATIM)
        list(APPEND pages ${man_dir}/${name}.1)
    endforeach()
    add_custom_target(manpages ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION share/man/man1)
endif()
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/plimora-table.bash
        DESTINATION share/bash-completion/completions RENAME plimora-table)
