# Builds the command line for Windows with the MinGW-w64 cross compiler, statically, into OUT.
# SRC is the source folder, SOURCES the files under it ("|"-separated), INCLUDE a folder that holds
# nothing but the header-only JSON library (the host's /usr/include would shadow the Windows headers).
# The scan's worker threads need std::thread and std::mutex, which only the POSIX-threads flavour of
# the compiler provides (linked statically, so the executable needs no extra DLL).
# Exits with 77 (skipped) when the cross compiler is missing.
find_program(cxx x86_64-w64-mingw32-g++-posix)
if(NOT cxx)
  message("skipped: x86_64-w64-mingw32-g++-posix is not installed (Debian g++-mingw-w64-x86-64-posix)")
  cmake_language(EXIT 77)
endif()
find_program(launcher ccache)
get_filename_component(work "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${work}/obj" "${work}/include")
if(NOT EXISTS "${work}/include/nlohmann")
  file(CREATE_LINK "${INCLUDE}/nlohmann" "${work}/include/nlohmann" SYMBOLIC)
endif()
string(REPLACE "|" ";" sources "${SOURCES}")
set(objects "")
foreach(source IN LISTS sources)
  string(MAKE_C_IDENTIFIER "${source}" name)
  set(object "${work}/obj/${name}.o")
  execute_process(
    COMMAND ${launcher} ${cxx} -std=c++20 -O2 -Wall -Wextra -Werror -I${SRC} -isystem ${work}/include
            -c ${SRC}/${source} -o ${object}
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "compiling ${source} for Windows failed")
  endif()
  list(APPEND objects ${object})
endforeach()
execute_process(COMMAND ${cxx} -static -o ${OUT} ${objects} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "linking ${OUT} failed")
endif()
message("built ${OUT}")
