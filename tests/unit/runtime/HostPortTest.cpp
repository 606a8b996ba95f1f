#include "runtime/HostPort.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace parlumo {
namespace {

TEST(HostPortTest, Parse) {
  struct Case {
    std::string_view text;
    std::optional<THostPort> parsed;
  };
  const Case cases[] = {
      {"127.0.0.1", THostPort{"127.0.0.1", std::nullopt}},
      {"127.0.0.1:8085", THostPort{"127.0.0.1", 8085}},
      {"localhost", THostPort{"localhost", std::nullopt}},
      {"LocalHost:80", THostPort{"LocalHost", 80}},
      {"example.org:65535", THostPort{"example.org", 65535}},
      {"example.org:0", THostPort{"example.org", 0}},
      // An empty port is no port, as in a URL.
      {"example.org:", THostPort{"example.org", std::nullopt}},
      {"[::1]", THostPort{"::1", std::nullopt}},
      {"[::1]:9000", THostPort{"::1", 9000}},
      {"[::1]:", THostPort{"::1", std::nullopt}},
      {"[0:0:0:0:0:0:0:1]:9000", THostPort{"0:0:0:0:0:0:0:1", 9000}},
      {"[FE80::A]:1", THostPort{"FE80::A", 1}},
      {"[::ffff:127.0.0.1]:8085", THostPort{"::ffff:127.0.0.1", 8085}},
      {"", std::nullopt},
      {":8085", std::nullopt},
      {"[]", std::nullopt},
      {"[]:80", std::nullopt},
      // Without brackets the last group of an IPv6 literal could be the port.
      {"::1", std::nullopt},
      {"::1:8085", std::nullopt},
      {"fe80::a", std::nullopt},
      {"[::1", std::nullopt},
      {"[::1]x", std::nullopt},
      {"[::1]8085", std::nullopt},
      {"[nonsense]", std::nullopt},
      {"[127.0.0.1]:80", std::nullopt},
      {"host:65536", std::nullopt},
      {"host:-1", std::nullopt},
      {"host:+1", std::nullopt},
      {"host:8x", std::nullopt},
      {"host:80 ", std::nullopt},
      {"host: 80", std::nullopt},
      {"a b", std::nullopt},
      {"a\tb:80", std::nullopt},
      {"user@host", std::nullopt},
      {"host/path", std::nullopt},
      {"host\\x", std::nullopt},
      {"ho]st:80", std::nullopt},
      {"h\xc3\xb6st", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseHostPort(c.text), c.parsed);
  }
}

TEST(HostPortTest, CanonicalName) {
  const struct {
    std::string_view host;
    std::string_view name;
  } cases[] = {
      {"LocalHost", "localhost"},
      {"Example.ORG", "example.org"},
      {"127.0.0.1", "127.0.0.1"},
      {"[::1]", "::1"},
      {"0:0:0:0:0:0:0:1", "::1"},
      {"[FE80:0::A]", "fe80::a"},
      {"::FFFF:127.0.0.1", "::ffff:127.0.0.1"},
      {"a:b", "a:b"},  // no IPv6 literal: only lower-cased
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CanonicalHostName(c.host), c.name) << c.host;
  }
}

// The desktop program starts the local service only for a loopback address, and
// the service answers requests without a Host header only on one: both ask here.
TEST(HostPortTest, Loopback) {
  const struct {
    std::string_view host;
    bool loopback;
  } cases[] = {
      {"127.0.0.1", true},
      {"127.1.2.3", true},
      {"127.255.255.255", true},
      {"localhost", true},
      {"LocalHost", true},
      {"LOCALHOST", true},
      {"::1", true},
      {"[::1]", true},
      {"0:0:0:0:0:0:0:1", true},
      {"[0::1]", true},
      {"::ffff:127.0.0.1", true},
      {"[::FFFF:127.9.8.7]", true},
      {"0.0.0.0", false},
      {"::", false},
      {"[::]", false},
      {"", false},
      {"128.0.0.1", false},
      {"126.255.255.255", false},
      {"10.0.0.1", false},
      {"1127.0.0.1", false},
      {"127.0.0.1:8085", false},  // a host and port, not a host
      {"localhost.example.org", false},
      {"attacker.example", false},
      {"example.org", false},
      {"::2", false},
      {"::ffff:10.0.0.1", false},
      {"::127.0.0.1", false},  // IPv4-compatible, not mapped: no loopback
      {"[::1", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsLoopbackHost(c.host), c.loopback) << c.host;
  }
}

}  // namespace
}  // namespace parlumo
