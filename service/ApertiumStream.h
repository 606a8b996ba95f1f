#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlumo::service {

// The text of one segment in Apertium's stream format, and back.
//
// The stream format reserves characters of its own ("^ $ / < >" frame the analyses,
// "[ ]" superblanks, "\" escapes, "* # @ ~" are the engines' marks for unknown,
// ungenerated and untranslated words), NUL ends a request, and the programs of a
// pipeline do not all agree on escapes: an escaped "^" after the last word makes
// lrx-proc wait for ever, and the engines drop or mark other escaped characters.
// Such characters therefore never reach a pipeline. Every run of them, every
// control character and every word too long for an engine to analyse in bounded
// time is held back and stands in the stream as a superblank that holds only its
// number ("[0]", "[1]", ...). The engines keep superblanks where they are, in
// order, while they translate and reorder the words around them; the held-back
// runs are put back in their place afterwards, byte for byte.

// A word (a run of bytes without white space) longer than this is held back whole,
// untranslated: no word of a language is this long, and the analysers take time
// that grows with the square of a word's length (100 KB: 15 s).
inline constexpr std::size_t kMaxEngineWordBytes = 200;

// What the pipeline is sent for one segment, and what it holds back.
struct StreamSegment {
  // Stream-format text: plain words and blanks, and "[N]" for each held-back run.
  // No NUL, no reserved character outside the superblanks.
  std::string input;
  std::vector<std::string> held;  // the held-back runs, by number
  // The segment split at the held-back runs: pieces[0], held[0], pieces[1], ...,
  // held[n-1], pieces[n]. The pieces hold no reserved character; each can be sent
  // on its own when an engine's answer has lost track of the superblanks.
  std::vector<std::string> pieces;
};

// Whether a byte is one the pipeline must not see (a reserved character or a
// control character other than tab and line feed).
bool HeldFromEngine(char c);

StreamSegment ToApertiumStream(std::string_view text);

// A line sent whole to a pipeline is at most about this long: the tagger takes time
// that grows with the square of a line without a sentence end (100,000 words: over
// a minute), so longer input goes in parts, each answered on its own.
inline constexpr std::size_t kMaxEngineInputBytes = 2048;

// Splits stream-format input into parts of at most maxBytes that, joined, are the
// input again. A part ends after a blank (never inside a superblank), after a
// sentence's end where the last maxBytes hold one; a part longer than maxBytes
// comes only from a run without any blank, which then stays whole.
std::vector<std::string_view> SplitEngineInput(std::string_view input, std::size_t maxBytes);

// The engine's answer made plain: escapes undone, the engines' word marks and
// stray tags (left by a word translated as nothing) dropped outside superblanks, and each
// superblank "[N]" replaced by held[N]. Nothing when the answer does not carry every held-back run
// exactly once and in order (or carries anything else in brackets): the caller then translates the
// pieces alone.
std::optional<std::string> FromApertiumStream(std::string_view output,
                                              const std::vector<std::string>& held);

}  // namespace parlumo::service
