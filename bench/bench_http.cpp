// THttpClient beside libcurl doing the same work against the same local server
// in the same run (HTTP/1.0, a new connection per exchange):
// - POST exchanges of a 200-byte form, one per iteration, 2,000 of them;
// - one 8 MiB chunked response per iteration.
// libcurl is the reference only; the program never links it.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <string>

#include "RatioReporter.h"
#include "ScriptedServer.h"
#include "net/HttpClient.h"
#include "runtime/PollEventLoop.h"

namespace {

using parlumo::PollEventLoop;
using parlumo::THttpClient;
using parlumo::TStringStream;
using parlumo::testing::ScriptedServer;
using parlumo::testing::ServerConnection;

const std::string kForm = "text=" + std::string(171, 'a') + "&langpair=en%7Cde&ie=UTF-8";
constexpr std::size_t kChunkedSize = std::size_t{8} << 20;

// Reads the request (header and Content-Length body) and sends reply.
void Answer(ServerConnection& c, const std::string& reply) {
  c.ReadRequest();
  c.Send(reply);
}

std::string SmallReply() {
  const std::string body =
      "<a href=\"/faq_translation.html\"></a><div id=result_box dir=\"ltr\">ok</div>";
  return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string ChunkedReply() {
  std::string reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
  const std::string chunk(std::size_t{64} << 10, 'c');
  for (std::size_t sent = 0; sent < kChunkedSize; sent += chunk.size()) {
    reply += "10000\r\n" + chunk + "\r\n";
  }
  return reply + "0\r\n\r\n";
}

std::size_t CurlWrite(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// A curl handle set up as the client is: HTTP/1.0, no connection reuse.
CURL* CurlHandle(const std::string& url, std::string& body) {
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CurlWrite);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  return curl;
}

void BM_THttpClientPost(benchmark::State& state) {
  const std::string reply = SmallReply();
  ScriptedServer server([&](ServerConnection& c) { Answer(c, reply); });
  PollEventLoop loop;
  THttpClient client(loop);
  client.URL = "http://127.0.0.1:" + server.PortText() + "/translate_t";
  for (auto _ : state) {
    TStringStream request(kForm);
    TStringStream response;
    client.RequestStream = &request;
    client.ResponseStream = &response;
    client.Post();
    if (response.Size() == 0) state.SkipWithError("empty answer");
  }
}

void BM_CurlPost(benchmark::State& state) {
  const std::string reply = SmallReply();
  ScriptedServer server([&](ServerConnection& c) { Answer(c, reply); });
  std::string body;
  CURL* curl = CurlHandle("http://127.0.0.1:" + server.PortText() + "/translate_t", body);
  for (auto _ : state) {
    body.clear();
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, kForm.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(kForm.size()));
    if (curl_easy_perform(curl) != CURLE_OK || body.empty()) state.SkipWithError("curl failed");
  }
  curl_easy_cleanup(curl);
}

void BM_THttpClientChunked(benchmark::State& state) {
  const std::string reply = ChunkedReply();
  ScriptedServer server([&](ServerConnection& c) { Answer(c, reply); });
  PollEventLoop loop;
  THttpClient client(loop);
  client.URL = "http://127.0.0.1:" + server.PortText() + "/big";
  for (auto _ : state) {
    TStringStream response;
    client.ResponseStream = &response;
    client.Get();
    if (static_cast<std::size_t>(response.Size()) != kChunkedSize) state.SkipWithError("short");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunkedSize));
}

void BM_CurlChunked(benchmark::State& state) {
  const std::string reply = ChunkedReply();
  ScriptedServer server([&](ServerConnection& c) { Answer(c, reply); });
  std::string body;
  CURL* curl = CurlHandle("http://127.0.0.1:" + server.PortText() + "/big", body);
  for (auto _ : state) {
    body.clear();
    if (curl_easy_perform(curl) != CURLE_OK || body.size() != kChunkedSize) {
      state.SkipWithError("curl failed");
    }
  }
  curl_easy_cleanup(curl);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunkedSize));
}

BENCHMARK(BM_THttpClientPost)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CurlPost)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_THttpClientChunked)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlChunked)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  using parlumo::bench::RatioReporter;
  const int status = parlumo::bench::RunWithRatios(
      argc, argv, RatioReporter::Time::Real,
      {{"BM_THttpClientPost", "BM_CurlPost"}, {"BM_THttpClientChunked", "BM_CurlChunked"}});
  curl_global_cleanup();
  return status;
}
