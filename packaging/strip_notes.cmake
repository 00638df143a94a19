# Runs in CPack between the install into the staging folder and the package: removes the compiler's
# name (.comment) and the .note section from the programs, as Debian's own dh_strip does; CPack's
# strip leaves them.
# The staging folder holds usr/ itself, or one folder per component group that does.
file(GLOB programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*"
     "${CPACK_TEMPORARY_DIRECTORY}/*/usr/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND objcopy --remove-section=.comment --remove-section=.note "${program}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objcopy failed on ${program}")
  endif()
  message(STATUS "Removed .comment and .note: ${program}")
endforeach()
