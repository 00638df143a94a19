# Runs at install time: writes share/applications/Tessaly.desktop for the installed executable.
# Exec holds the executable's full path, double-quoted with '"', '`', '$' and '\' escaped and '%'
# doubled, and then every backslash doubled once more as a desktop entry value requires.

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

set(entry "[Desktop Entry]
Type=Application
Version=1.0
Name=Tessaly
Exec=\"${arg}\" %f
Icon=tessaly
Terminal=false
Categories=Utility;FileTools;
")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TESSALY_DATADIR}/applications/Tessaly.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")
