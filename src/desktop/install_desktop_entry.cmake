# Runs at install time: writes share/applications/Tessaly.desktop for the installed executable from
# the template the program's own launchers use. Exec holds the executable's full path, double-quoted
# with '"', '`', '$' and '\' escaped and '%' doubled, and then every backslash doubled once more as a
# desktop entry value requires.

set(exe "${CMAKE_INSTALL_PREFIX}/${TESSALY_BINDIR}/Tessaly")
if(IS_ABSOLUTE "${TESSALY_BINDIR}")
  set(exe "${TESSALY_BINDIR}/Tessaly")
endif()
set(arg "${exe}")
string(REPLACE "\\" "\\\\" arg "${arg}")
string(REPLACE "\"" "\\\"" arg "${arg}")
string(REPLACE "`" "\\`" arg "${arg}")
string(REPLACE "$" "\\$" arg "${arg}")
string(REPLACE "%" "%%" arg "${arg}")
string(REPLACE "\\" "\\\\" arg "${arg}")

file(READ "${TESSALY_DESKTOP_TEMPLATE_FILE}" entry)
string(REPLACE "@NAME@" "Tessaly" entry "${entry}")
string(REPLACE "@ICON@" "tessaly" entry "${entry}")
# Last, so that nothing in the path is taken for a placeholder.
string(REPLACE "@EXEC@" "\"${arg}\"" entry "${entry}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TESSALY_DATADIR}/applications/Tessaly.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")

# GIO finds the programs for a file type through the folder's mimeinfo.cache. A package leaves that
# to the system's own trigger (and must not ship the cache); a plain install brings it up to date.
find_program(UPDATE_DESKTOP_DATABASE update-desktop-database)
if("$ENV{DESTDIR}" STREQUAL "" AND UPDATE_DESKTOP_DATABASE)
  execute_process(COMMAND "${UPDATE_DESKTOP_DATABASE}" "${CMAKE_INSTALL_PREFIX}/${TESSALY_DATADIR}/applications")
endif()
