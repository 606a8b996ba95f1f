# Installs the build into a fresh prefix and checks what a user's desktop needs
# of it: the three programs, the help pages where the program looks for them,
# the icon under the name the desktop entry gives, and a valid entry whose Exec
# lines start the installed program with words its usage lists
# (tests/unit/resources checks them against the command line itself).
#   cmake -DBUILD=<build dir> -DPREFIX=<empty folder> -P CheckInstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${errors}")
endif()

foreach(program parlumo parlumo-desktop parlumo-translate parlumo-service)
  if(NOT EXISTS ${PREFIX}/bin/${program})
    message(FATAL_ERROR "bin/${program} is not installed")
  endif()
endforeach()
foreach(page en/index.html de/index.html en/502.html de/1000.html style.css)
  if(NOT EXISTS ${PREFIX}/share/parlumo/help/${page})
    message(FATAL_ERROR "help page ${page} is not installed")
  endif()
endforeach()

set(entry ${PREFIX}/share/applications/parlumo.desktop)
if(NOT EXISTS ${entry})
  message(FATAL_ERROR "the desktop entry is not installed")
endif()
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(NOT DESKTOP_FILE_VALIDATE)
  message(FATAL_ERROR "desktop-file-validate is missing: run scripts/install-deps")
endif()
execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${entry} RESULT_VARIABLE result
                OUTPUT_VARIABLE complaints ERROR_VARIABLE complaints)
if(NOT result EQUAL 0 OR complaints MATCHES "error|warning")
  message(FATAL_ERROR "desktop-file-validate refuses the installed entry: ${complaints}")
endif()
file(STRINGS ${entry} execs REGEX "^Exec=")
file(STRINGS ${entry} icon REGEX "^Icon=")
list(LENGTH execs count)
if(count LESS 2)
  message(FATAL_ERROR "the entry has no actions: ${execs}")
endif()
# Each action's words are ones the installed program's usage lists.
execute_process(COMMAND ${PREFIX}/bin/parlumo --help RESULT_VARIABLE result
                OUTPUT_VARIABLE programUsage ERROR_VARIABLE programErrors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the installed parlumo --help fails (${result}): ${programErrors}")
endif()
foreach(exec IN LISTS execs)
  if(NOT exec MATCHES "^Exec=${PREFIX}/bin/parlumo( |$)")
    message(FATAL_ERROR "the entry starts '${exec}', not the installed program")
  endif()
  string(REGEX REPLACE "^Exec=${PREFIX}/bin/parlumo ?" "" words "${exec}")
  if(NOT words STREQUAL "")
    string(FIND "${programUsage}" "  ${words} " at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the program's usage does not list the action '${words}':\n${programUsage}")
    endif()
  endif()
endforeach()
string(REPLACE "Icon=" "" icon "${icon}")
if(NOT EXISTS ${PREFIX}/share/icons/hicolor/scalable/apps/${icon}.svg)
  message(FATAL_ERROR "no icon '${icon}' in the hicolor theme")
endif()

# The installed command-line translator runs from there.
execute_process(COMMAND ${PREFIX}/bin/parlumo-translate --help RESULT_VARIABLE result
                OUTPUT_VARIABLE usage)
if(NOT result EQUAL 0 OR NOT usage MATCHES "--pair")
  message(FATAL_ERROR "the installed parlumo-translate does not run: ${result}")
endif()
