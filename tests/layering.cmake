# Which folder of src/ may include from which: the shared ground stands on nothing of the program
# but the system interfaces (declared once for both systems, never one system's implementation),
# and the subsystems reach the window only through the files that hold its handlers (form1_*.cpp).
# Run with -DSRC=<the source folder>; fails listing every include that breaks a rule.
set(rules
  # folder : forbidden include prefixes : files exempt (a pattern of their names; ^$ for none)
  "common : app/,streams/,launch/,detect/,desktop/,cli/,platform/linux/,platform/windows/ : ^$"
  "streams : app/,cli/ : ^form1_"
  "launch : app/,cli/ : ^form1_"
  "detect : app/,cli/ : ^form1_"
  "desktop : app/,cli/ : ^form1_")
set(faults "")
foreach(rule IN LISTS rules)
  string(REPLACE " : " ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 forbidden)
  list(GET parts 2 exempt)
  string(REPLACE "," ";" forbidden "${forbidden}")
  file(GLOB_RECURSE files "${SRC}/${folder}/*.h" "${SRC}/${folder}/*.cpp" "${SRC}/${folder}/*.inc")
  foreach(file IN LISTS files)
    get_filename_component(name "${file}" NAME)
    if(NOT exempt STREQUAL "^$" AND name MATCHES "${exempt}")
      continue()
    endif()
    file(STRINGS "${file}" includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      foreach(prefix IN LISTS forbidden)
        if(line MATCHES "^#include \"${prefix}")
          file(RELATIVE_PATH shown "${SRC}" "${file}")
          string(APPEND faults "  ${shown}: ${line}\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "includes across the layers:\n${faults}")
endif()
