#include "net/Ntlm.h"

#include <nettle/des.h>
#include <nettle/md4.h>
#include <unistd.h>

#include <algorithm>

#include "net/MimeCodec.h"
#include "runtime/Utf8.h"

namespace parlumo {

namespace {

constexpr std::string_view kSignature{"NTLMSSP\0", 8};
// Negotiate: Unicode, OEM, request target, NTLM, always sign; the answer drops OEM.
constexpr uint32_t kNegotiateFlags = 0x00008207;
constexpr uint32_t kAuthenticateFlags = 0x00008205;
constexpr uint32_t kFlagUnicode = 0x00000001;
constexpr size_t kAuthenticateHeaderSize = 64;
// The largest even length a 16-bit length field holds: wide fields are cut to it.
constexpr size_t kMaxFieldLength = 65534;

void PutU16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void PutU32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8)
    out += static_cast<char>((v >> shift) & 0xFF);
}

// A security buffer: length, maximum length (the same) and offset.
void PutBuffer(std::string& out, size_t length, size_t offset) {
  PutU16(out, static_cast<uint16_t>(length));
  PutU16(out, static_cast<uint16_t>(length));
  PutU32(out, static_cast<uint32_t>(offset));
}

// Little-endian reads; the caller has checked that the bytes are there.
uint16_t GetU16(std::string_view in, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(in[at]) |
                               static_cast<unsigned char>(in[at + 1]) << 8);
}

uint32_t GetU32(std::string_view in, size_t at) {
  return uint32_t{GetU16(in, at)} | uint32_t{GetU16(in, at + 2)} << 16;
}

// The bytes a security buffer at headerAt points to; empty when the buffer's
// header or its data do not lie inside the message.
std::string_view GetBuffer(std::string_view message, size_t headerAt) {
  if (message.size() < headerAt + 8) return {};
  const size_t length = GetU16(message, headerAt);
  const size_t offset = GetU32(message, headerAt + 4);
  if (offset > message.size() || length > message.size() - offset) return {};
  return message.substr(offset, length);
}

// UTF-16LE to UTF-8 for the names a challenge carries. An unpaired surrogate
// becomes U+FFFD; an odd last byte is dropped.
std::string FromWideText(std::string_view wide) {
  std::string out;
  const size_t units = wide.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    uint32_t code = GetU16(wide, 2 * i);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units) {
      const uint32_t low = GetU16(wide, 2 * i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
    AppendUtf8(out, code);
  }
  return out;
}

std::string Truncated(std::string text) {
  if (text.size() > kMaxFieldLength) text.resize(kMaxFieldLength);
  return text;
}

void DesEncrypt(const uint8_t* key7, const uint8_t* block, uint8_t* out) {
  const auto key = NtlmDesKey(key7);
  des_ctx ctx;
  // Nettle ignores the parity bits, so the key needs no parity fix; it reports
  // weak keys, which NTLM cannot avoid (an empty password gives one) and which
  // encrypt correctly all the same.
  (void)des_set_key(&ctx, key.data());
  des_encrypt(&ctx, 8, out, block);
}

}  // namespace

std::string NtlmWideText(std::string_view utf8) {
  std::string wide;
  wide.reserve(utf8.size() * 2);
  for (size_t i = 0; i < utf8.size();) {
    char32_t code = 0;
    size_t length = DecodeUtf8(utf8, i, code);
    if (length == 0) {
      code = static_cast<unsigned char>(utf8[i]);
      length = 1;
    }
    if (code >= 0x10000) {
      const uint32_t v = code - 0x10000;
      PutU16(wide, static_cast<uint16_t>(0xD800 + (v >> 10)));
      PutU16(wide, static_cast<uint16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      PutU16(wide, static_cast<uint16_t>(code));
    }
    i += length;
  }
  return wide;
}

std::array<uint8_t, 8> NtlmDesKey(const uint8_t* key7) {
  uint64_t bits = 0;
  for (int i = 0; i < 7; ++i)
    bits = bits << 8 | key7[i];
  std::array<uint8_t, 8> key{};
  for (int i = 0; i < 8; ++i)
    key[i] = static_cast<uint8_t>(((bits >> (49 - 7 * i)) & 0x7F) << 1);
  return key;
}

TNtlmHash NtlmLmHash(std::string_view password) {
  std::array<uint8_t, 14> key{};
  for (size_t i = 0; i < key.size() && i < password.size(); ++i) {
    const auto c = static_cast<unsigned char>(password[i]);
    key[i] = (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 'a' + 'A') : c;
  }
  static constexpr uint8_t kMagic[8] = {'K', 'G', 'S', '!', '@', '#', '$', '%'};
  TNtlmHash hash{};
  DesEncrypt(key.data(), kMagic, hash.data());
  DesEncrypt(key.data() + 7, kMagic, hash.data() + 8);
  return hash;
}

TNtlmHash NtlmNtHash(std::string_view password) {
  const std::string wide = NtlmWideText(password);
  md4_ctx ctx;
  md4_init(&ctx);
  md4_update(&ctx, wide.size(), reinterpret_cast<const uint8_t*>(wide.data()));
  TNtlmHash hash{};
  md4_digest(&ctx, hash.size(), hash.data());
  return hash;
}

TNtlmResponse NtlmResponse(const TNtlmHash& hash, const TNtlmChallengeBytes& challenge) {
  std::array<uint8_t, 21> keys{};
  std::copy(hash.begin(), hash.end(), keys.begin());
  TNtlmResponse response{};
  for (size_t i = 0; i < 3; ++i) {
    DesEncrypt(keys.data() + 7 * i, challenge.data(), response.data() + 8 * i);
  }
  return response;
}

std::string NtlmNegotiateMessage() {
  std::string message(kSignature);
  PutU32(message, 1);
  PutU32(message, kNegotiateFlags);
  message.append(16, '\0');  // domain and workstation buffers
  return message;
}

TNtlmChallenge DecodeNtlmChallenge(std::string_view message) {
  TNtlmChallenge result;
  if (message.size() >= 24) result.flags = GetU32(message, 20);
  if (message.size() >= 32) {
    std::copy_n(message.begin() + 24, 8, result.challenge.begin());
    result.wellFormed = message.substr(0, 8) == kSignature && GetU32(message, 8) == 2;
  }

  const std::string_view target = GetBuffer(message, 12);
  result.targetName = (result.flags & kFlagUnicode) ? FromWideText(target) : std::string(target);

  // Target information: (type, length, value) entries up to the type 0, length 0 end.
  std::string_view list = GetBuffer(message, 40);
  while (list.size() >= 4) {
    const uint16_t type = GetU16(list, 0);
    const uint16_t length = GetU16(list, 2);
    list.remove_prefix(4);
    if (type == 0 && length == 0) break;
    if (length > list.size()) break;
    if (type == 1) result.serverName = FromWideText(list.substr(0, length));
    if (type == 2) result.domainName = FromWideText(list.substr(0, length));
    list.remove_prefix(length);
  }
  return result;
}

TNtlmChallenge DecodeNtlmChallengeValue(std::string_view headerValue) {
  constexpr size_t kTextStart = 5;  // after "NTLM "
  if (headerValue.size() <= kTextStart) return DecodeNtlmChallenge({});
  return DecodeNtlmChallenge(DecodeNtlmBase64(headerValue.substr(kTextStart)));
}

std::string NtlmAuthenticateMessage(const TNtlmChallengeBytes& challenge, std::string_view user,
                                    std::string_view password, std::string_view workstation) {
  const std::string wideUser = Truncated(NtlmWideText(user));
  const std::string wideWorkstation = Truncated(NtlmWideText(workstation));
  const TNtlmResponse lm = NtlmResponse(NtlmLmHash(password), challenge);
  const TNtlmResponse nt = NtlmResponse(NtlmNtHash(password), challenge);

  const size_t domainOffset = kAuthenticateHeaderSize;  // the domain is always empty
  const size_t userOffset = domainOffset;
  const size_t workstationOffset = userOffset + wideUser.size();
  const size_t lmOffset = workstationOffset + wideWorkstation.size();
  const size_t ntOffset = lmOffset + lm.size();

  std::string message(kSignature);
  message.reserve(ntOffset + nt.size());
  PutU32(message, 3);
  PutBuffer(message, lm.size(), lmOffset);
  PutBuffer(message, nt.size(), ntOffset);
  PutBuffer(message, 0, domainOffset);
  PutBuffer(message, wideUser.size(), userOffset);
  PutBuffer(message, wideWorkstation.size(), workstationOffset);
  PutBuffer(message, 0, 0);  // no session key
  PutU32(message, kAuthenticateFlags);
  message += wideUser;
  message += wideWorkstation;
  message.append(lm.begin(), lm.end());
  message.append(nt.begin(), nt.end());
  return message;
}

std::string NtlmWorkstationName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;  // the last byte stays 0, even for a name that was cut
}

}  // namespace parlumo
