# Makes the Debian package with CPack into a fresh folder and checks what a user installs: the
# dependencies found by dpkg-shlibdeps, the files at their Debian places, and a menu entry that
# starts /usr/bin/Tessaly. Lintian is left to tools/package.sh: it takes far longer than this.

foreach(tool dpkg-deb dpkg-shlibdeps)
  find_program(tool_path_${tool} ${tool})
  if(NOT tool_path_${tool})
    message("SKIPPED: ${tool} is not installed (Debian's dpkg-dev); no package can be made")
    return()
  endif()
endforeach()
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${CPACK}" -G DEB -B "${OUT}" --config "${BUILD}/CPackConfig.cmake"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(GLOB deb "${OUT}/tessaly_*.deb")
if(NOT rc EQUAL 0 OR NOT deb)
  message(FATAL_ERROR "cpack made no package: ${out}")
endif()

# The libraries' packages come from dpkg-shlibdeps; the toolkit's plugins are named by hand.
execute_process(COMMAND dpkg-deb -f "${deb}" Package Version Depends OUTPUT_VARIABLE control)
foreach(field "Package: tessaly" "Version: [0-9.]+-1" "libqt6widgets6 " "liblnk1 " "qt6-qpa-plugins")
  if(NOT control MATCHES "${field}")
    message(FATAL_ERROR "the package's control fields lack ${field}:\n${control}")
  endif()
endforeach()

execute_process(COMMAND dpkg-deb -c "${deb}" OUTPUT_VARIABLE listing)
foreach(f usr/bin/Tessaly usr/bin/tessaly usr/share/man/man1/tessaly.1.gz usr/share/man/ja/man1/Tessaly.1.gz
          usr/share/tessaly/Tessaly.html usr/share/doc/tessaly/copyright usr/share/doc/tessaly/changelog.Debian.gz
          usr/share/applications/Tessaly.desktop usr/share/metainfo/org.example.tessaly.metainfo.xml
          usr/share/icons/hicolor/48x48/apps/tessaly.png usr/share/lintian/overrides/tessaly)
  string(FIND "${listing}" " ./${f}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "not in the package: ${f}\n${listing}")
  endif()
endforeach()
if(listing MATCHES " \\./usr/local/" OR NOT listing MATCHES "^drwxr-xr-x root/root")
  message(FATAL_ERROR "files outside /usr or not owned by root:\n${listing}")
endif()

execute_process(COMMAND dpkg-deb --fsys-tarfile "${deb}" COMMAND tar -xO ./usr/share/applications/Tessaly.desktop
                OUTPUT_VARIABLE entry)
if(NOT entry MATCHES "\nExec=\"/usr/bin/Tessaly\" %f\n")
  message(FATAL_ERROR "the package's menu entry does not start /usr/bin/Tessaly:\n${entry}")
endif()
file(REMOVE_RECURSE "${OUT}")
