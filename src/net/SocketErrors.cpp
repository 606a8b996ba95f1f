#include "net/SocketErrors.h"

#include <ares.h>

#include <cerrno>

namespace parlumo {

std::string SocketErrorText(int error) {
  switch (error) {
    case 0:
      return "No Error";
    case WSAEINTR:
      return "Interrupted system call";
    case WSAEBADF:
      return "Bad file number";
    case WSAEACCES:
      return "Permission denied";
    case WSAEFAULT:
      return "Bad address";
    case WSAEINVAL:
      return "Invalid argument";
    case WSAEMFILE:
      return "Too many open files";
    case WSAEWOULDBLOCK:
      return "Operation would block";
    case WSAEINPROGRESS:
      return "Operation now in progress";
    case WSAEALREADY:
      return "Operation already in progress";
    case WSAENOTSOCK:
      return "Socket operation on non-socket";
    case WSAEDESTADDRREQ:
      return "Destination address required";
    case WSAEMSGSIZE:
      return "Message too long";
    case WSAEPROTOTYPE:
      return "Protocol wrong type for socket";
    case WSAENOPROTOOPT:
      return "Protocol not available";
    case WSAEPROTONOSUPPORT:
      return "Protocol not supported";
    case WSAESOCKTNOSUPPORT:
      return "Socket type not supported";
    case WSAEOPNOTSUPP:
      return "Operation not supported on socket";
    case WSAEPFNOSUPPORT:
      return "Protocol family not supported";
    case WSAEAFNOSUPPORT:
      return "Address family not supported by protocol family";
    case WSAEADDRINUSE:
      return "Address already in use";
    case WSAEADDRNOTAVAIL:
      return "Address not available";
    case WSAENETDOWN:
      return "Network is down";
    case WSAENETUNREACH:
      return "Network is unreachable";
    case WSAENETRESET:
      return "Network dropped connection on reset";
    case WSAECONNABORTED:
      return "Connection aborted";
    case WSAECONNRESET:
      return "Connection reset by peer";
    case WSAENOBUFS:
      return "No buffer space available";
    case WSAEISCONN:
      return "Socket is already connected";
    case WSAENOTCONN:
      return "Socket is not connected";
    case WSAESHUTDOWN:
      return "Can't send after socket shutdown";
    case WSAETOOMANYREFS:
      return "Too many references: can't splice";
    case WSAETIMEDOUT:
      return "Connection timed out";
    case WSAECONNREFUSED:
      return "Connection refused";
    case WSAELOOP:
      return "Too many levels of symbolic links";
    case WSAENAMETOOLONG:
      return "File name too long";
    case WSAEHOSTDOWN:
      return "Host is down";
    case WSAEHOSTUNREACH:
      return "No route to host";
    case WSAENOTEMPTY:
      return "Directory not empty";
    case WSAEPROCLIM:
      return "Too many processes";
    case WSAEUSERS:
      return "Too many users";
    case WSAEDQUOT:
      return "Disc quota exceeded";
    case WSAESTALE:
      return "Stale NFS file handle";
    case WSAEREMOTE:
      return "Too many levels of remote in path";
    case WSASYSNOTREADY:
      return "Network sub-system is unusable";
    case WSAVERNOTSUPPORTED:
      return "WinSock DLL cannot support this application";
    case WSANOTINITIALISED:
      return "WinSock not initialized";
    case WSAHOST_NOT_FOUND:
      return "Host not found";
    case WSATRY_AGAIN:
      return "Non-authoritative host not found";
    case WSANO_RECOVERY:
      return "Non-recoverable error";
    case WSANO_DATA:
      return "No Data";
    default:
      return "Not a WinSock error";
  }
}

int SocketErrorFromErrno(int e) {
  switch (e) {
    case 0:
      return 0;
    case EINTR:
      return WSAEINTR;
    case EBADF:
      return WSAEBADF;
    case EACCES:
    case EPERM:
      return WSAEACCES;
    case EFAULT:
      return WSAEFAULT;
    case EINVAL:
      return WSAEINVAL;
    case EMFILE:
    case ENFILE:
      return WSAEMFILE;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK:
      return WSAEWOULDBLOCK;
    case EINPROGRESS:
      return WSAEINPROGRESS;
    case EALREADY:
      return WSAEALREADY;
    case ENOTSOCK:
      return WSAENOTSOCK;
    case EDESTADDRREQ:
      return WSAEDESTADDRREQ;
    case EMSGSIZE:
      return WSAEMSGSIZE;
    case EPROTOTYPE:
      return WSAEPROTOTYPE;
    case ENOPROTOOPT:
      return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
      return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
      return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
      return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
      return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
      return WSAEAFNOSUPPORT;
    case EADDRINUSE:
      return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
      return WSAEADDRNOTAVAIL;
    case ENETDOWN:
      return WSAENETDOWN;
    case ENETUNREACH:
      return WSAENETUNREACH;
    case ENETRESET:
      return WSAENETRESET;
    // Writing to a connection the peer has gone from.
    case EPIPE:
    case ECONNABORTED:
      return WSAECONNABORTED;
    case ECONNRESET:
      return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
      return WSAENOBUFS;
    case EISCONN:
      return WSAEISCONN;
    case ENOTCONN:
      return WSAENOTCONN;
    case ESHUTDOWN:
      return WSAESHUTDOWN;
    case ETOOMANYREFS:
      return WSAETOOMANYREFS;
    case ETIMEDOUT:
      return WSAETIMEDOUT;
    case ECONNREFUSED:
      return WSAECONNREFUSED;
    case ELOOP:
      return WSAELOOP;
    case ENAMETOOLONG:
      return WSAENAMETOOLONG;
    case EHOSTDOWN:
      return WSAEHOSTDOWN;
    case EHOSTUNREACH:
      return WSAEHOSTUNREACH;
    case ENOTEMPTY:
      return WSAENOTEMPTY;
    case EUSERS:
      return WSAEUSERS;
    case EDQUOT:
      return WSAEDQUOT;
    case ESTALE:
      return WSAESTALE;
    case EREMOTE:
      return WSAEREMOTE;
    default:
      return e;
  }
}

int SocketErrorFromAres(int status) {
  switch (status) {
    case ARES_SUCCESS:
      return 0;
    case ARES_ENOTFOUND:
    case ARES_EBADNAME:
      return WSAHOST_NOT_FOUND;
    case ARES_ENODATA:
    case ARES_EADDRGETNETWORKPARAMS:
      return WSANO_DATA;
    case ARES_ESERVFAIL:
    case ARES_ETIMEOUT:
    case ARES_ECONNREFUSED:
    case ARES_EREFUSED:
      return WSATRY_AGAIN;
    case ARES_ECANCELLED:
    case ARES_EDESTRUCTION:
      return WSAEINTR;
    case ARES_ENOMEM:
      return WSAENOBUFS;
    default:
      return WSANO_RECOVERY;
  }
}

std::string SocketErrorReason(int error) {
  return SocketErrorText(error) + " (Error #" + std::to_string(error) + ")";
}

std::string SocketCallErrorMessage(int error, const std::string& call) {
  return "Error " + std::to_string(error) + " in function " + call + "\r\n" +
         SocketErrorText(error);
}

}  // namespace parlumo
