# Builds the Windows targets with Debian's MinGW-w64 cross compiler:
#   cmake -B build-windows --toolchain cmake/mingw-w64.cmake   (tools/build_windows.sh does this)
# The POSIX-threads flavour, because the scan's workers use std::thread and std::mutex, which the
# win32 flavour lacks. Linked statically, so that tessaly.exe runs without the compiler's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSALY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSALY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALY_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TESSALY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# No register allocation across calls (-fipa-ra). With it, GCC lets a caller keep values in
# call-clobbered registers when the callee it compiled happens not to touch them. For an inline or
# template function that callee is one of many identical-looking copies, and when everything is
# linked statically the linker keeps whichever copy it meets first: a copy compiled with other
# flags (the program's -O2 against the static Qt's -Os) then clobbers those registers under the
# caller. Qt's random generator met exactly that and wrote through a stale pointer.
set(CMAKE_C_FLAGS_INIT "-fno-ipa-ra")
set(CMAKE_CXX_FLAGS_INIT "-fno-ipa-ra")
