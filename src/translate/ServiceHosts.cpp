#include "translate/ServiceHosts.h"

#include "translate/TranslateText.h"

namespace parlumo {

namespace {

std::string HostOrDefault(const TIniFile& ini, std::string_view key) {
  std::string host = ini.ReadString("Service", key, "");
  return host.empty() ? std::string(kDefaultServiceHost) : host;
}

}  // namespace

TServiceHosts ReadServiceHosts(const TIniFile& ini) {
  return {HostOrDefault(ini, "Host"), HostOrDefault(ini, "VendorHost"),
          HostOrDefault(ini, "ProviderHost")};
}

std::string HomePageUrl(const TServiceHosts& hosts) {
  return "http://" + hosts.vendor + "/tools/parlumo/";
}

std::string UpdatePageUrl(const TServiceHosts& hosts, std::string_view versionString,
                          int buildNumber) {
  return "http://" + hosts.vendor + "/tools/parlumo/updates/" + std::string(versionString) + "b" +
         std::to_string(buildNumber) + ".html";
}

std::string ProviderSiteUrl(const TServiceHosts& hosts) {
  return "http://" + hosts.provider + "/";
}

std::string LanguageToolsUrl(const TServiceHosts& hosts) {
  return "http://" + hosts.provider + "/help/faq_translation.html";
}

}  // namespace parlumo
