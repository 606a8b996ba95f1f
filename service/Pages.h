#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "OfferedPair.h"
#include "ResidentPipelines.h"

namespace parlumo::service {

// The English name of a language code ("de" -> "German"); the code itself when unknown.
std::string LanguageName(std::string_view code);

// "English » German" for "en|de"; the code itself when it is not "xx|yy".
std::string PairName(std::string_view pairCode);

// The answer to a translation request: links to the service's FAQ page (the
// signature the program checks for) and holds the translation, HTML-escaped with
// "<br>" for each line break, between `<div id=result_box dir="ltr">` and "</div>".
std::string ResultPage(std::string_view pairCode, std::string_view translation);

// The answer for a pair the service does not translate: a normal page without the
// signature, so the program reports that the text was not translated.
std::string PairNotOfferedPage(std::string_view pairCode, const std::vector<OfferedPair>& pairs);

// The banner put at the top of a translated web page: the pair and a link to the
// original page at originalAddress.
std::string TranslationBanner(std::string_view pairCode, std::string_view originalAddress);

// An error page (400, 404, 413, 502 ...): a title and an explanation, no signature.
std::string ErrorPage(int status, std::string_view title, std::string_view explanation);

// The provider's pages: the start page (the pairs, and the engine pipelines running
// now) and the FAQ page listing pairs and engines.
std::string ProviderHomePage(const std::vector<OfferedPair>& pairs,
                             const ResidentPipelines& resident);
std::string FaqPage(const std::vector<OfferedPair>& pairs);

// The maker's home page ("/tools/parlumo/").
std::string VendorHomePage();

// The update page for the file name "<major>.<minor>b<build>.html" (what the program
// forms from its version): says whether that is the newest version or which newer
// one exists. A name that is not of that form (such as "b0.html", which a program
// without a version asks for) gives a page that names the newest version. Nothing
// when the name does not end in ".html".
std::optional<std::string> UpdatePage(std::string_view fileName);

}  // namespace parlumo::service
