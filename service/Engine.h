#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlumo::service {

// One direction of translation (one source and one target language). The service
// holds one per language pair it offers; a better engine (a translation server named
// on the command line, for example) is another implementation of this interface.
// Implementations are safe to call from several request threads at once.
class Translator {
 public:
  virtual ~Translator() = default;

  // Translates every segment (UTF-8 plain text; a segment may hold line breaks) and
  // gives the translations in the same order, or nothing when the engine failed.
  // Words the engine does not know stay as they are.
  virtual std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) = 0;

  // What does the work, for the provider's pages ("Apertium eng-spa", ...).
  virtual std::string Description() const = 0;
};

// Translates through several translators one after the other (French to English
// through Spanish, for example). Fails as soon as one step fails.
class ChainTranslator final : public Translator {
 public:
  explicit ChainTranslator(std::vector<std::shared_ptr<Translator>> steps)
      : steps_(std::move(steps)) {}

  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override;
  std::string Description() const override;

 private:
  std::vector<std::shared_ptr<Translator>> steps_;
};

}  // namespace parlumo::service
