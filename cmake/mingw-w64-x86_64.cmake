# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix-thread
# compilers, which give C++ its std::thread and std::mutex). Used for the Qt
# and SQLite builds behind scripts/package-windows and for the program itself.
#
# Extra prefixes (the cross-built Qt and SQLite) come in through
# CMAKE_PREFIX_PATH; they are added to the search root so that find_package()
# looks there and never falls back to the host's Linux libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLIMORA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PLIMORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLIMORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PLIMORA_MINGW_TRIPLE}-windres)

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${PLIMORA_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
