# The project's version (CMakeLists.txt) is the one every release record
# carries: the newest entry of debian/changelog (the package's version) and the
# newest release of the AppStream metainfo.
#   cmake -DVERSION=<project version> -DROOT=<source tree> -P CheckVersion.cmake
file(STRINGS ${ROOT}/debian/changelog top LIMIT_COUNT 1)
if(NOT top MATCHES "^parlumo \\(([^)]+)\\) ")
  message(FATAL_ERROR "debian/changelog does not start with a parlumo entry: ${top}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR
          "debian/changelog's newest entry is ${CMAKE_MATCH_1}, the project's version ${VERSION}")
endif()

file(READ ${ROOT}/src/resources/parlumo.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<releases>[ \t\n]*<release version=\"([^\"]+)\"")
  message(FATAL_ERROR "the metainfo has no release entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR
          "the metainfo's newest release is ${CMAKE_MATCH_1}, the project's version ${VERSION}")
endif()
