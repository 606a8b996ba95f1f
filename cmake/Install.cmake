# What `cmake --install` puts under the prefix: the three programs, the help
# pages (where the program looks for them: <prefix>/share/parlumo/help beside
# <prefix>/bin), a desktop entry, the icon in the hicolor theme and the AppStream
# metainfo a software centre reads (man/ installs the manual pages).
include(GNUInstallDirs)

# parlumo is the desktop program's front; parlumo-desktop, which it starts,
# lives beside it.
foreach(program parlumo parlumo-desktop parlumo-translate parlumo-service)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/parlumo/help)
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/parlumo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The file is named after the component id it holds, as AppStream requires.
set(PARLUMO_APPSTREAM_ID org.parlumo.Parlumo)
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/parlumo.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME ${PARLUMO_APPSTREAM_ID}.metainfo.xml)

# The launcher's Exec line names the installed program by its full path, so the
# entry works whether or not the prefix's bin folder is on PATH. The prefix is
# the one of the install run (`cmake --install --prefix` may change it), so the
# entry is written then.
install(CODE "
  set(PARLUMO_ENTRY_TEMPLATE \"${PROJECT_SOURCE_DIR}/src/resources/parlumo.desktop.in\")
  set(PARLUMO_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(PARLUMO_APPLICATIONS \"${CMAKE_INSTALL_DATADIR}/applications\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/InstallDesktopEntry.cmake\")
")
