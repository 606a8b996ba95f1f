// Arbitrary response bytes from a real peer on loopback to THttpClient: no
// crash, no hang, no sanitizer report, and the client always ends idle with no
// more body than the peer sent (per followed answer).

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>

#include "ScriptedServer.h"
#include "net/HttpClient.h"
#include "runtime/PollEventLoop.h"

namespace {

using parlumo::testing::ScriptedServer;
using parlumo::testing::ServerConnection;

std::mutex gMutex;
std::string gReply;

ScriptedServer& Server() {
  // Every connection gets the current input, then the end of the stream.
  static auto* server = new ScriptedServer([](ServerConnection& c) {
    c.ReadUntil("\r\n\r\n", std::chrono::seconds(2));
    std::string reply;
    {
      std::lock_guard lock(gMutex);
      reply = gReply;
    }
    c.Send(reply);
  });
  return *server;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static parlumo::PollEventLoop loop;
  {
    std::lock_guard lock(gMutex);
    gReply.assign(reinterpret_cast<const char*>(data), size);
  }
  parlumo::THttpClient client(loop);
  client.URL = "http://127.0.0.1:" + Server().PortText() + "/doc";
  client.Timeout = std::chrono::seconds(3);
  client.Socket().SetDnsSettings({100, 1});
  parlumo::TStringStream response;
  client.ResponseStream = &response;
  try {
    client.RunRequest(parlumo::THttpRequest::httpGET);
  } catch (const parlumo::EHttpException&) {
  }
  if (client.State() != parlumo::THttpClientState::hcsIdle) std::abort();
  if (response.Size() > static_cast<std::int64_t>(size) + 2) std::abort();
  return 0;
}
