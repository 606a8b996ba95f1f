#pragma once

#include <span>

#include "translate/TranslationPage.h"

namespace parlumo {

// How every caller of the exchange reports a failure: the text window, the two
// hotkey translations and parlumo-translate show the same message for it.
struct TFailureMessage {
  TranslateFailure failure;
  int textKey;  // the message's text; its caption is the next key
  // The message asks whether to open the program's home page (Yes, No), where a
  // newer version may understand the service: the failure points at a program
  // that no longer knows the service's page. Every other message only reports.
  bool offersHomePage;
};

// One row for each failure class.
std::span<const TFailureMessage> FailureMessages();

// The row of the failure.
const TFailureMessage& FailureMessageOf(TranslateFailure failure);

}  // namespace parlumo
