# Runs at install time (from cmake/Install.cmake): writes the desktop entry for
# the prefix of this install run. A path with blanks or characters a launcher
# would interpret is quoted as desktop entries require.
set(program "${CMAKE_INSTALL_PREFIX}/${PARLUMO_BINDIR}/parlumo")
set(PARLUMO_PROGRAM "${program}")
if(program MATCHES "[ \t\"'\\\\$`]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" program "${program}")
  set(program "\"${program}\"")
endif()
set(PARLUMO_DESKTOP_EXEC "${program}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${PARLUMO_APPLICATIONS}/parlumo.desktop")
message(STATUS "Installing: ${target}")
configure_file(${PARLUMO_ENTRY_TEMPLATE} ${target} @ONLY)
