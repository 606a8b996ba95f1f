// The text of a segment through the Apertium stream format and back, on every input:
// 1. what goes to the pipeline holds no NUL, no control character and no reserved
//    character outside the superblanks, and no word longer than the engines' bound;
// 2. an engine that echoes its input gives back exactly the text, every byte of it;
// 3. the pieces and the held-back runs, interleaved, are the text;
// 4. the input's parts for the pipeline join to the input, none splits a superblank.
// Any failure aborts.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ApertiumStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace parlumo::service;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const StreamSegment segment = ToApertiumStream(text);

  std::size_t word = 0;
  bool inBlank = false;
  for (const char c : segment.input) {
    if (c == '[') inBlank = true;
    if (!inBlank && HeldFromEngine(c)) std::abort();
    if (c == ']') inBlank = false;
    word = (c == ' ' || c == '\t' || c == '\n' || inBlank) ? 0 : word + 1;
    if (word > kMaxEngineWordBytes) std::abort();
  }
  if (inBlank) std::abort();

  const auto echoed = FromApertiumStream(segment.input, segment.held);
  if (!echoed || *echoed != text) std::abort();

  if (segment.pieces.size() != segment.held.size() + 1) std::abort();
  std::string joined;
  for (std::size_t i = 0; i < segment.pieces.size(); ++i) {
    joined += segment.pieces[i];
    if (i < segment.held.size()) joined += segment.held[i];
  }
  if (joined != text) std::abort();

  // The parts the pipeline is sent join to the whole, and none ends inside a
  // superblank or is longer than the bound without need.
  constexpr std::size_t kMax = 64;
  std::string parts;
  for (const auto part : SplitEngineInput(segment.input, kMax)) {
    parts += part;
    if (part.size() > kMax && part.substr(0, kMax).find_first_of(" \t\n") != std::string::npos) {
      std::abort();
    }
    std::size_t open = 0;
    for (const char c : part) {
      if (c == '[') ++open;
      if (c == ']') --open;
    }
    if (open != 0) std::abort();
  }
  if (parts != segment.input) std::abort();
  return 0;
}
