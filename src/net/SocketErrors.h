#pragma once

#include <stdexcept>
#include <string>

namespace parlumo {

// Socket errors are numbered as Windows Sockets numbers them (10061 for a
// refused connection, 11001 for an unknown host, ...), so that every message
// the user sees keeps its established form: "Connection refused (Error #10061)".

// The fixed English text of an error number; "Not a WinSock error" for others.
std::string SocketErrorText(int error);

// The socket error number for a system errno value. A value without a socket
// meaning is returned unchanged (and reads "Not a WinSock error").
int SocketErrorFromErrno(int errnoValue);

// The socket error number for a c-ares status code (lookup failures become
// 11001 to 11004, a cancelled lookup 10004).
int SocketErrorFromAres(int aresStatus);

// "Error <n> in function <call>\r\n<text>": how a failed system call is reported.
std::string SocketCallErrorMessage(int error, const std::string& call);

// The socket's own exception, raised when no OnError handler takes a failure.
class ESocketException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace parlumo
