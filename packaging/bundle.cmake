# Runs at install time (install(CODE) in packaging/CMakeLists.txt). Copies the
# Qt plugins and translations the program uses into the folder, every library
# the program and those plugins load into lib/ except the ones in
# system-libraries.txt, and writes the notices of what was bundled: THIRD-PARTY
# and licences/.
#
# Each library is copied under the name the loader looks for (its soname), as
# one plain file: an archive of symlink chains gains nothing here.
#
# Expects: PLIMORA_EXECUTABLE; PLIMORA_QT_FILES, a list of <folder>|<path>: a
# file of the Qt installation and the folder it goes to; PLIMORA_SYSTEM_LIBRARIES,
# the patterns file; PLIMORA_NOTICES_HEADER, the static part of THIRD-PARTY;
# PLIMORA_WORK_DIR, where THIRD-PARTY is written before it is installed.

cmake_minimum_required(VERSION 3.25)

file(STRINGS "${PLIMORA_SYSTEM_LIBRARIES}" system_patterns REGEX "^[^#]")

if(NOT EXISTS "${PLIMORA_EXECUTABLE}")
    message(FATAL_ERROR "${PLIMORA_EXECUTABLE} has not been built")
endif()

set(plugin_files "")
foreach(entry IN LISTS PLIMORA_QT_FILES)
    string(REPLACE "|" ";" pair "${entry}")
    list(GET pair 0 folder)
    list(GET pair 1 path)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "${path} is missing: run scripts/install-deps")
    endif()
    if(path MATCHES "[.]so$")
        file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${folder}" TYPE MODULE FILES "${path}")
        list(APPEND plugin_files "${path}")
    else()
        file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${folder}" TYPE FILE FILES "${path}")
    endif()
endforeach()

file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES "${PLIMORA_EXECUTABLE}"
    MODULES ${plugin_files}
    RESOLVED_DEPENDENCIES_VAR resolved
    UNRESOLVED_DEPENDENCIES_VAR unresolved
    PRE_EXCLUDE_REGEXES ${system_patterns}
)
if(unresolved)
    message(FATAL_ERROR "Libraries the program needs were not found: ${unresolved}")
endif()

foreach(path IN LISTS resolved)
    get_filename_component(name "${path}" NAME)
    file(REAL_PATH "${path}" real)
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib" TYPE FILE
         FILES "${real}" RENAME "${name}")
endforeach()

# The notices: for every bundled file, the Debian package it came from, that
# package's copyright file, and the licence texts those files refer to.
find_program(DPKG_QUERY dpkg-query)
if(NOT DPKG_QUERY)
    message(FATAL_ERROR "dpkg-query is needed to find the licences of the bundled libraries")
endif()

set(bundled "")
foreach(path IN LISTS resolved)
    get_filename_component(name "${path}" NAME)
    list(APPEND bundled "lib/${name}|${path}")
endforeach()
foreach(entry IN LISTS PLIMORA_QT_FILES)
    string(REPLACE "|" ";" pair "${entry}")
    list(GET pair 0 folder)
    list(GET pair 1 path)
    get_filename_component(name "${path}" NAME)
    list(APPEND bundled "${folder}/${name}|${path}")
endforeach()
list(SORT bundled)

# The path a library was found under may not be the one its package lists
# (/lib and /usr/lib are one folder on merged systems), so every spelling is
# asked for, all in one dpkg-query call: each call takes a while.
function(path_spellings path out)
    file(REAL_PATH "${path}" real)
    set(spellings "")
    foreach(spelling "${path}" "${real}")
        string(REGEX REPLACE "^/usr/lib/" "/lib/" short "${spelling}")
        string(REGEX REPLACE "^/lib/" "/usr/lib/" long "${short}")
        list(APPEND spellings "${short}" "${long}")
    endforeach()
    set(${out} "${spellings}" PARENT_SCOPE)
endfunction()

set(candidates "")
foreach(entry IN LISTS bundled)
    string(REPLACE "|" ";" pair "${entry}")
    list(GET pair 1 path)
    path_spellings("${path}" spellings)
    list(APPEND candidates ${spellings})
endforeach()
list(REMOVE_DUPLICATES candidates)
execute_process(COMMAND "${DPKG_QUERY}" -S ${candidates}
                OUTPUT_VARIABLE owners ERROR_QUIET)
string(REGEX REPLACE "\n$" "" owners "${owners}")
string(REPLACE "\n" ";" owners "${owners}")
foreach(line IN LISTS owners)
    # "package[:arch]: path"
    if(line MATCHES "^([^:, ]+)(:[a-z0-9]+)?: (.+)$")
        string(MAKE_C_IDENTIFIER "${CMAKE_MATCH_3}" key)
        set(owner_${key} "${CMAKE_MATCH_1}")
    endif()
endforeach()

set(owned "")
set(packages "")
foreach(entry IN LISTS bundled)
    string(REPLACE "|" ";" pair "${entry}")
    list(GET pair 0 inside)
    list(GET pair 1 path)
    set(package "")
    path_spellings("${path}" spellings)
    foreach(candidate IN LISTS spellings)
        string(MAKE_C_IDENTIFIER "${candidate}" key)
        if(NOT package AND DEFINED owner_${key})
            set(package "${owner_${key}}")
        endif()
    endforeach()
    if(NOT package)
        message(FATAL_ERROR "No Debian package owns ${path}; its licence is unknown")
    endif()
    list(APPEND owned "${inside}|${package}")
    list(APPEND packages "${package}")
endforeach()
list(REMOVE_DUPLICATES packages)

execute_process(COMMAND "${DPKG_QUERY}" -W
                        "-f=\${Package} \${Version}, source \${source:Package} \${source:Version}\n"
                        ${packages}
                OUTPUT_VARIABLE versions COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE "\n$" "" versions "${versions}")
string(REPLACE "\n" ";" versions "${versions}")
foreach(line IN LISTS versions)
    if(line MATCHES "^([^ ]+) (.+)$")
        string(MAKE_C_IDENTIFIER "${CMAKE_MATCH_1}" key)
        set(version_${key} "${CMAKE_MATCH_2}")
    endif()
endforeach()

set(table "")
foreach(entry IN LISTS owned)
    string(REPLACE "|" ";" pair "${entry}")
    list(GET pair 0 inside)
    list(GET pair 1 package)
    string(MAKE_C_IDENTIFIER "${package}" key)
    string(APPEND table "${inside}\n    Debian package ${package} ${version_${key}}\n"
                        "    licence: licences/debian/${package}.copyright\n")
endforeach()

set(common_licences "")
foreach(package IN LISTS packages)
    set(copyright "/usr/share/doc/${package}/copyright")
    if(NOT EXISTS "${copyright}")
        message(FATAL_ERROR "${copyright} is missing; the licence of ${package} cannot be shipped")
    endif()
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/licences/debian" TYPE FILE
         FILES "${copyright}" RENAME "${package}.copyright")
    file(READ "${copyright}" text)
    string(REGEX MATCHALL "/usr/share/common-licenses/[A-Za-z0-9.+_-]*[A-Za-z0-9+]" refs "${text}")
    list(APPEND common_licences ${refs})
endforeach()
list(REMOVE_DUPLICATES common_licences)
foreach(path IN LISTS common_licences)
    # Debian's copyright files name the full text by its path there, which
    # other systems do not have; the texts are shipped beside them.
    if(EXISTS "${path}")
        file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/licences/common-licenses" TYPE FILE
             FILES "${path}")
    endif()
endforeach()

execute_process(COMMAND "${DPKG_QUERY}" -W "-f=\${source:Package} \${source:Version}" libqt6core6
                OUTPUT_VARIABLE QT_BASE_SOURCE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${DPKG_QUERY}" -W "-f=\${source:Package} \${source:Version}"
                        qt6-translations-l10n
                OUTPUT_VARIABLE QT_TRANSLATIONS_SOURCE COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE " " "=" QT_BASE_SOURCE_APT "${QT_BASE_SOURCE}")
string(REGEX REPLACE "^[^ ]+ ([0-9.]+).*" "\\1" QT_VERSION "${QT_BASE_SOURCE}")
file(READ "${PLIMORA_NOTICES_HEADER}" header)
string(CONFIGURE "${header}" header @ONLY)
file(WRITE "${PLIMORA_WORK_DIR}/THIRD-PARTY" "${header}\n${table}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}" TYPE FILE
     FILES "${PLIMORA_WORK_DIR}/THIRD-PARTY")
