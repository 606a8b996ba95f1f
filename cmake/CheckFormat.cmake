# Fails when a C++ source under src/, service/, tests/ or bench/ differs from
# what clang-format makes of it. scripts/format applies the style.
file(GLOB_RECURSE files
  ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/service/*.cpp ${ROOT}/service/*.h
  ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h)
if(NOT files)
  return()
endif()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${files}
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "clang-format would change these files (run scripts/format):\n${err}")
endif()
