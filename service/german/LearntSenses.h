#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace parlumo::service {

// The sense each English or German word takes in real text, learnt from parallel
// manuals by german/build-senses.py (german/senses.tsv, compiled in): for a key, the
// translation to prefer among those the dictionary lists for it. The dictionary's own
// order still decides where a key has no row, or where the preferred translation is
// not among a sub-entry's synonyms. A German noun's row may be "unlisted": a sense
// its dictionary entry lacks ("Ebene": "layer"), which the dictionary takes as the
// noun's first.
class LearntSenses {
 public:
  // The language of the key.
  enum class Side { English, German };

  // The table compiled into the program.
  static const LearntSenses& Builtin();

  // Reads rows "en|de TAB key TAB translation", with a fourth field "unlisted" for a
  // sense the dictionary does not list; lines starting with '#' and other rows are
  // skipped. Keys are compared case-folded.
  static LearntSenses Parse(std::string_view table);

  // The preferred translation of the case-folded key, or empty.
  std::string_view Preferred(Side side, std::string_view key) const;
  // The same for a sense the dictionary does not list, or empty.
  std::string_view Unlisted(Side side, std::string_view key) const;

  bool empty() const { return english_.empty() && german_.empty(); }

 private:
  // Looked up by string_view, without a string made for each key the load reads.
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
      return std::hash<std::string_view>{}(key);
    }
  };
  using Map = std::unordered_map<std::string, std::string, Hash, std::equal_to<>>;
  Map english_;
  Map german_;
  // The few unlisted rows once more, apart: the large maps stay plain strings.
  Map englishUnlisted_;
  Map germanUnlisted_;
};

}  // namespace parlumo::service
