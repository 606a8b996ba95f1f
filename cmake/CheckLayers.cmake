cmake_minimum_required(VERSION 3.25)

# Fails when a source under src/ or service/ includes a header of a layer that it
# does not build on. The link lines already keep the libraries in order, but every
# library sees all of src/ as its include root, so an include of a header-only part
# of a higher layer would otherwise go unnoticed.
#
# The layers, lowest first, and what each may include besides itself (the README's
# "Layout" lists them in this order):
set(layers runtime net translate text desktop platform ui hotkeys app cli service)
set(uses_runtime)
set(uses_net runtime)
set(uses_translate net runtime)
set(uses_text runtime)
set(uses_desktop runtime)
set(uses_platform desktop runtime)
set(uses_ui platform translate text net desktop runtime)
set(uses_hotkeys desktop translate text net runtime)
set(uses_app ui hotkeys platform desktop translate text net runtime)
set(uses_cli translate text net runtime)
set(uses_service translate net runtime)
#
# -DROOT=<tree> names the tree. With -DEXPECT=<file>:<layer>,... (paths relative
# to ROOT) the check passes only when it finds exactly those wrong includes: that is
# how its own test shows that it catches one.

file(GLOB_RECURSE sources RELATIVE ${ROOT}
  ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/service/*.cpp ${ROOT}/service/*.h)
list(SORT sources)
set(found)
foreach(source IN LISTS sources)
  if(source MATCHES "^service/")
    set(layer service)
  else()
    string(REGEX REPLACE "^src/([^/]+)/.*" "\\1" layer "${source}")
  endif()
  if(NOT layer IN_LIST layers)
    message(FATAL_ERROR "${source}: the folder ${layer} is in no layer; add it to ${CMAKE_CURRENT_LIST_FILE}")
  endif()
  get_filename_component(folder ${source} DIRECTORY)
  file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*" "\\1" path "${line}")
    # Where the include leads, with any ".." resolved: a quoted path beside the file
    # when it is there (the compiler looks there first), else below the include root
    # src/. A bracketed path counts only when it is one of ours, since system headers
    # may share a layer's name (<net/if.h>).
    cmake_path(SET beside NORMALIZE "${folder}/${path}")
    cmake_path(SET below NORMALIZE "${path}")
    if(NOT line MATCHES "include[ \t]*<" AND EXISTS ${ROOT}/${beside})
      if(beside MATCHES "^service/")
        set(target service)
      else()
        string(REGEX REPLACE "^src/([^/]+)/.*" "\\1" target "${beside}")
      endif()
    elseif(line MATCHES "include[ \t]*<" AND NOT EXISTS ${ROOT}/src/${below})
      continue()
    else()
      string(REGEX REPLACE "^([^/]+)/.*" "\\1" target "${below}")
    endif()
    if(target STREQUAL layer OR NOT target IN_LIST layers)
      continue()
    endif()
    if(NOT target IN_LIST uses_${layer})
      list(APPEND found "${source}:${target}")
    endif()
  endforeach()
endforeach()

if(DEFINED EXPECT)
  string(REPLACE "," ";" EXPECT "${EXPECT}")
  if(NOT "${found}" STREQUAL "${EXPECT}")
    message(FATAL_ERROR "expected the wrong includes [${EXPECT}], found [${found}]")
  endif()
elseif(found)
  string(REPLACE ";" "\n  " list "${found}")
  message(FATAL_ERROR "includes that reach a layer their folder does not build on "
                      "(file:layer):\n  ${list}")
endif()
