#include <gtest/gtest.h>

#include <string>

#include "translate/ServiceHosts.h"

namespace parlumo {
namespace {

struct TUrlCase {
  const char* address;
  int pairIndex;
  const char* url;
};

TEST(PageTranslationUrlTest, AddressAndPairAreFormValues) {
  const TServiceHosts hosts{"127.0.0.1:8085", "vendor.test", "provider.test"};
  const TUrlCase cases[] = {
      {"http://example.org/", 3,
       "http://127.0.0.1:8085/translate?u=http%3A%2F%2Fexample.org%2F&langpair=de%7Cfr"
       "&ie=ASCII&oe=ASCII"},
      // A query, blanks and a fragment of the page's own stay inside u.
      {"http://example.org/a b?x=1&y=2#top", 3,
       "http://127.0.0.1:8085/translate?u=http%3A%2F%2Fexample.org%2Fa%20b%3Fx%3D1%26y%3D2%23top"
       "&langpair=de%7Cfr&ie=ASCII&oe=ASCII"},
      // "+" and "%" are the address's own characters, not encodings.
      {"example.org/c++?p=50%", 1,
       "http://127.0.0.1:8085/translate?u=example.org%2Fc%2B%2B%3Fp%3D50%25&langpair=de%7Cen"
       "&ie=ASCII&oe=ASCII"},
      // UTF-8 goes byte by byte; an address with "&langpair=" cannot pose as the pair.
      {"http://b\xC3\xBC"
       "cher.test/?q=\xC3\xA4&langpair=fr|en",
       7,
       "http://127.0.0.1:8085/translate?u=http%3A%2F%2Fb%C3%BCcher.test%2F%3Fq%3D%C3%A4"
       "%26langpair%3Dfr%7Cen&langpair=en%7Ces&ie=ASCII&oe=ASCII"},
      // No selection, or an index past the table: en|de.
      {"", -1, "http://127.0.0.1:8085/translate?u=&langpair=en%7Cde&ie=ASCII&oe=ASCII"},
      {"x", 12, "http://127.0.0.1:8085/translate?u=x&langpair=en%7Cde&ie=ASCII&oe=ASCII"},
  };
  for (const TUrlCase& c : cases) {
    EXPECT_EQ(PageTranslationUrl(hosts, c.address, c.pairIndex), c.url) << c.address;
  }
}

TEST(PageTranslationUrlTest, ServiceHostAsConfigured) {
  EXPECT_EQ(PageTranslationUrl({"translate.example:8080", "", ""}, "a", 0),
            "http://translate.example:8080/translate?u=a&langpair=en%7Cde&ie=ASCII&oe=ASCII");
}

}  // namespace
}  // namespace parlumo
