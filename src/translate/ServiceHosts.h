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

}  // namespace parlumo
