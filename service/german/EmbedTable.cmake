# Writes INPUT as a C++ byte array named SYMBOL into OUTPUT (run with cmake -P), so
# a data table is compiled into the program rather than looked for at run time.
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
file(WRITE "${OUTPUT}.new"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <cstddef>\n"
  "namespace parlumo::service {\n"
  "extern const char ${SYMBOL}[];\n"
  "extern const std::size_t ${SYMBOL}Size;\n"
  "const char ${SYMBOL}[] = {${bytes} 0};\n"
  "const std::size_t ${SYMBOL}Size = ${size};\n"
  "}  // namespace parlumo::service\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
