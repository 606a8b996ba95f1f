#include "translate/TranslateText.h"

#include <utility>

namespace parlumo {

TranslateOutcome TranslateText(THttpClient& client, TParser& splitter, std::string_view text,
                               int pairIndex, std::string_view serviceHost,
                               const TProxySettings& proxy) {
  // A client that is still busy keeps its configuration and streams.
  if (client.State() != THttpClientState::hcsIdle) {
    return TranslateOutcome::Failed(TranslateFailure::ConnectionFailed, "HTTP component is busy");
  }
  // A request larger than the service takes is refused here, before anything
  // is sent. The service refuses it as soon as it has read the header and
  // closes the connection, so a client still sending the body may see a reset
  // and report no connection instead of a text too large.
  std::string body = BuildRequestBody(text, pairIndex);
  if (body.size() > kMaxRequestBodyBytes) {
    return TranslateOutcome::Failed(
        TranslateFailure::TextTooLarge,
        "Request body of " + std::to_string(body.size()) + " bytes, the service takes at most " +
            std::to_string(kMaxRequestBodyBytes) + "; nothing was sent");
  }
  client.Agent = std::string(kTranslateAgent);
  client.Proxy = proxy.server;
  client.ProxyPort = proxy.port;
  client.ProxyUsername = proxy.username;
  client.ProxyPassword = proxy.password;
  client.URL = "http://" + std::string(serviceHost) + std::string(kTranslatePath);

  TStringStream request(std::move(body));
  TStringStream response;
  client.RequestStream = &request;
  client.ResponseStream = &response;
  // The streams live only for this exchange: the client must not keep them.
  struct Detach {
    THttpClient& client;
    ~Detach() {
      client.RequestStream = nullptr;
      client.ResponseStream = nullptr;
    }
  } detach{client};
  try {
    client.Post();
  } catch (const EHttpException& e) {
    // 413 is the one refusal that is about the text itself: sending it again
    // will not help, a shorter text will. Only an answer gives 413; the
    // client's own failures carry its kHttpError numbers or 404.
    const auto failure =
        e.ErrorCode() == 413 ? TranslateFailure::TextTooLarge : TranslateFailure::ConnectionFailed;
    return TranslateOutcome::Failed(failure, e.what());
  } catch (const std::exception& e) {
    return TranslateOutcome::Failed(TranslateFailure::ConnectionFailed, e.what());
  }
  return ExtractTranslation(response.DataString(), splitter);
}

}  // namespace parlumo
