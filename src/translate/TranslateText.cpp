#include "translate/TranslateText.h"

namespace parlumo {

TranslateOutcome TranslateText(THttpClient& client, TParser& splitter, std::string_view text,
                               int pairIndex, std::string_view serviceHost,
                               const TProxySettings& proxy) {
  // A client that is still busy keeps its configuration and streams.
  if (client.State() != THttpClientState::hcsIdle) {
    return TranslateOutcome::Failed(TranslateFailure::ConnectionFailed, "HTTP component is busy");
  }
  client.Agent = std::string(kTranslateAgent);
  client.Proxy = proxy.server;
  client.ProxyPort = proxy.port;
  client.ProxyUsername = proxy.username;
  client.ProxyPassword = proxy.password;
  client.URL = "http://" + std::string(serviceHost) + std::string(kTranslatePath);

  TStringStream request(BuildRequestBody(text, pairIndex));
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
