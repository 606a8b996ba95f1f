#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "net/HttpClient.h"

namespace parlumo::testing {

// One wire-level test case of the HTTP client, read from a data file that holds
// the expected request bytes and the reply side by side:
//
//   --- client                 settings, one per line: url URL, method GET|HEAD|
//                              PUT|POST (POST when absent), body TEXT (the
//                              request body), proxy HOST:PORT, proxyuser u:p,
//                              user u:p, version 1.1, nocache, timeout MS,
//                              norelocation, agent TEXT (the User-Agent)
//   --- request [second]       the exact request the server must get; "second":
//                              the second server gets it (a relocation's target)
//   --- reply [keep] [hold]    what the server answers; the connection closes
//                              afterwards unless "keep"; "hold" sends nothing
//                              and keeps the connection open (a silent server)
//   --- request / --- reply    further exchanges, in order, on the same
//                              connection after "keep", else on the next one
//   --- expect                 one check per line: status N, reason TEXT,
//                              exception TEXT, no-exception, rcvd N,
//                              location URL, content-type T, done-error E
//                              (a Windows Sockets name such as WSAETIMEDOUT,
//                              or a number), connections N
//   --- body                   the exact response body the client must keep
//
// A key or a section option not listed here fails the case, so that a
// misspelt check cannot drop out unnoticed; so do a method other than the four,
// an error name that net/SocketErrors.h does not define, a key given twice in
// a section, a client, expect or body section given twice, a "--- " line
// without a section name, and text before the first section. Lines beginning
// with "#" before the first section and in the client and expect sections are
// comments.
// Request, reply and body sections have CRLF line ends unless the header says
// "lf"; the newline before the next "---" line is not part of a section (so a
// body ends where its text ends), but an empty last line is: it ends a header
// that has no body.
// %PORT% stands for the server's port, %PORT2% for a second server's.
struct HttpExchange {
  std::string request;
  std::string reply;
  bool keep = false;
  bool hold = false;
  bool second = false;  // served by the second server
};

struct HttpCase {
  std::string name;
  std::map<std::string, std::string> client;
  std::vector<HttpExchange> exchanges;
  std::map<std::string, std::string> expect;
  bool hasBody = false;
  std::string body;
};

// Reads a case file; a file the format cannot mean throws std::runtime_error
// naming the case and the fault.
HttpCase LoadHttpCase(const std::filesystem::path& file);

// The request kind of a "method" value; std::invalid_argument for any other.
THttpRequest CaseMethod(const std::string& name);

// The number of a "done-error" value: a Windows Sockets name or decimal digits;
// std::invalid_argument for anything else.
int ErrorNumber(const std::string& value);

// Every *.http file in folder, sorted by name.
std::vector<std::filesystem::path> HttpCaseFiles(const std::filesystem::path& folder);

// Replaces every %NAME% by its value.
std::string Substitute(std::string text, const std::map<std::string, std::string>& values);

}  // namespace parlumo::testing
