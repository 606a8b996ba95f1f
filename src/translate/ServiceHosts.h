#pragma once

#include <string>
#include <string_view>

#include "runtime/IniFile.h"

namespace parlumo {

// The three hosts the program talks to, each "host" or "host:port", from the
// settings file's section Service; every one defaults to the local service, which
// serves the translation protocol and the maker's and provider's pages alike.
struct TServiceHosts {
  std::string service;   // Service/Host: the translation service
  std::string vendor;    // Service/VendorHost: the maker's pages (home page, updates)
  std::string provider;  // Service/ProviderHost: the provider's site and language-tools page
};

// Reads the section Service; a missing or empty key gives kDefaultServiceHost.
TServiceHosts ReadServiceHosts(const TIniFile& ini);

// The program's home page on the maker's site: http://<vendor>/tools/parlumo/
std::string HomePageUrl(const TServiceHosts& hosts);

// The update page for a version: http://<vendor>/tools/parlumo/updates/<version>b<build>.html,
// for example .../updates/2.5b41.html.
std::string UpdatePageUrl(const TServiceHosts& hosts, std::string_view versionString,
                          int buildNumber);

// The provider's main site (http://<provider>/) and its page about the language
// tools (http://<provider>/help/faq_translation.html).
std::string ProviderSiteUrl(const TServiceHosts& hosts);
std::string LanguageToolsUrl(const TServiceHosts& hosts);

// The service's translation of a web page, the address handed to the browser:
// http://<service>/translate?u=<address>&langpair=<pair code>&ie=ASCII&oe=ASCII, with
// the pair of pairIndex (any index outside the pair table means "en|de"). The address
// (UTF-8, as the user typed it) and the pair code are percent-encoded as form values,
// a blank as "%20": an address with a query ("?", "&", "="), a fragment ("#") or
// blanks of its own then reaches the service whole instead of breaking its query.
// For "http://example.org/a b?x=1&y=2#top" and pair 3:
// .../translate?u=http%3A%2F%2Fexample.org%2Fa%20b%3Fx%3D1%26y%3D2%23top&langpair=de%7Cfr&ie=ASCII&oe=ASCII
std::string PageTranslationUrl(const TServiceHosts& hosts, std::string_view address, int pairIndex);

}  // namespace parlumo
