#include "translate/ServiceHosts.h"

#include "translate/LanguagePairs.h"
#include "translate/TranslateText.h"
#include "translate/TranslationPage.h"

namespace parlumo {

namespace {

// A form value with every blank as "%20" rather than "+": both read back the same
// under form decoding, and "%20" also under the plain percent decoding that web
// addresses get (where "+" is itself).
std::string EncodeQueryValue(std::string_view value) {
  std::string encoded;
  for (const char c : FormUrlEncode(value)) {
    if (c == '+') {
      encoded += "%20";
    } else {
      encoded += c;
    }
  }
  return encoded;
}

std::string HostOrDefault(const TIniFile& ini, std::string_view key) {
  std::string host = ini.ReadString("Service", key, "");
  return host.empty() ? std::string(kDefaultServiceHost) : host;
}

}  // namespace

TServiceHosts ReadServiceHosts(const TIniFile& ini) {
  const TIniFile::ReadSession reading(ini);
  return {HostOrDefault(ini, "Host"), HostOrDefault(ini, "VendorHost"),
          HostOrDefault(ini, "ProviderHost")};
}

std::string HomePageUrl(const TServiceHosts& hosts) {
  return "http://" + hosts.vendor + std::string(kHomePagePath);
}

std::string UpdatePageUrl(const TServiceHosts& hosts, std::string_view versionString,
                          int buildNumber) {
  return "http://" + hosts.vendor + std::string(kUpdatesPath) + std::string(versionString) + "b" +
         std::to_string(buildNumber) + ".html";
}

std::string ProviderSiteUrl(const TServiceHosts& hosts) {
  return "http://" + hosts.provider + "/";
}

std::string LanguageToolsUrl(const TServiceHosts& hosts) {
  return "http://" + hosts.provider + std::string(kLanguageToolsPath);
}

std::string PageTranslationUrl(const TServiceHosts& hosts, std::string_view address,
                               int pairIndex) {
  return "http://" + hosts.service + std::string(kPageTranslatePath) +
         "?u=" + EncodeQueryValue(address) +
         "&langpair=" + EncodeQueryValue(LanguagePairCode(pairIndex)) + "&ie=ASCII&oe=ASCII";
}

}  // namespace parlumo
