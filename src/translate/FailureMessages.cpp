#include "translate/FailureMessages.h"

#include <array>

namespace parlumo {

namespace {

constexpr std::array kMessages = {
    TFailureMessage{TranslateFailure::ConnectionFailed, 604, false},
    TFailureMessage{TranslateFailure::NotTranslated, 608, false},
    TFailureMessage{TranslateFailure::UnknownDataFormat, 606, true},
    TFailureMessage{TranslateFailure::TextTooLarge, 624, false},
};

}  // namespace

std::span<const TFailureMessage> FailureMessages() {
  return kMessages;
}

const TFailureMessage& FailureMessageOf(TranslateFailure failure) {
  for (const TFailureMessage& message : kMessages) {
    if (message.failure == failure) return message;
  }
  // Every failure class has its row (the table's test holds it); a value outside
  // the enumeration is reported as the failed request it comes closest to.
  return kMessages.front();
}

}  // namespace parlumo
