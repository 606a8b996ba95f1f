// Arbitrary header text and arbitrary message bytes through the NTLM challenge
// reader and the answer built from it: no crash, no read outside the message,
// and Base64 of any bytes decodes back to them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/MimeCodec.h"
#include "net/Ntlm.h"

namespace {

void Answer(const parlumo::TNtlmChallenge& challenge, std::string_view user) {
  const std::string m = parlumo::NtlmAuthenticateMessage(challenge.challenge, user, "pw", "WS");
  const size_t wideUser = std::min<size_t>(parlumo::NtlmWideText(user).size(), 65534);
  if (m.size() != 64 + wideUser + 4 + 48) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // The input as the Base64 text of a header value...
  Answer(parlumo::DecodeNtlmChallengeValue("NTLM " + std::string(input)), input.substr(0, 16));
  // ... and as the message bytes themselves.
  const parlumo::TNtlmChallenge direct = parlumo::DecodeNtlmChallenge(input);
  Answer(direct, direct.serverName);

  const std::string encoded = parlumo::EncodeNtlmBase64(input);
  if (encoded.size() != (size + 2) / 3 * 4) std::abort();
  if (parlumo::DecodeNtlmBase64(encoded) != input) std::abort();
  return 0;
}
