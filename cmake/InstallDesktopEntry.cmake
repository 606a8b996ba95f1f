# Runs at install time (from cmake/Install.cmake): writes the desktop entry for
# the prefix of this install run. The Exec lines name the program as desktop
# entries require: a path with a blank or a character a launcher would
# interpret is quoted, with '"', '`', '$' and '\' escaped inside the quotes;
# '%' is doubled, since it starts a field code. Then, as for every string value,
# each backslash is doubled once more (a launcher undoes that first).
set(program "${CMAKE_INSTALL_PREFIX}/${PARLUMO_BINDIR}/parlumo")
if(program MATCHES "[\n\r]")
  message(FATAL_ERROR "a desktop entry cannot name a program whose path has a line break: ${program}")
endif()
set(exec "${program}")
string(REPLACE "%" "%%" exec "${exec}")
if(exec MATCHES "[ \t\"'\\\\<>~|&;$*?#()`]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\\" "\\\\" tryExec "${program}")
set(PARLUMO_DESKTOP_EXEC "${exec}")
set(PARLUMO_PROGRAM "${tryExec}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${PARLUMO_APPLICATIONS}/parlumo.desktop")
message(STATUS "Installing: ${target}")
configure_file(${PARLUMO_ENTRY_TEMPLATE} ${target} @ONLY)
