#include "net/SocketBuffer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "net/SocketErrors.h"

namespace parlumo {
namespace {

std::span<const std::byte> Bytes(const std::string& s) {
  return std::as_bytes(std::span(s));
}

std::string Text(std::span<const std::byte> b) {
  return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

TEST(TBufferTest, AppendPeekRemoveResize) {
  EXPECT_EQ(TBuffer(0).Capacity(), 1514u);
  EXPECT_EQ(TBuffer(-3).Capacity(), 1514u);

  TBuffer b(4);
  EXPECT_EQ(b.Append(Bytes("abcdef")), 4u) << "only what fits";
  EXPECT_EQ(Text(b.Peek()), "abcd");
  b.Remove(1);
  EXPECT_EQ(Text(b.Peek()), "bcd");
  EXPECT_EQ(b.Append(Bytes("x")), 0u) << "the write count, not the unread part, fills a block";
  b.Resize(8);
  EXPECT_EQ(Text(b.Peek()), "bcd");
  EXPECT_EQ(b.Append(Bytes("efghijk")), 5u);
  EXPECT_EQ(Text(b.Peek()), "bcdefghi");
  b.Remove(8);
  EXPECT_EQ(b.ReadCount(), 0u) << "everything read: both counts return to 0";
  EXPECT_EQ(b.WriteCount(), 0u);
  EXPECT_EQ(b.Append(Bytes("12345678")), 8u);
}

TEST(TSocketBufferTest, QueueIsCutIntoSegmentSizedBlocks) {
  TSocketBuffer q;
  EXPECT_TRUE(q.Empty());
  q.Append(Bytes(std::string(3000, 'x')));
  ASSERT_EQ(q.BlockCount(), 3u);
  EXPECT_EQ(q.Block(0).WriteCount(), 1460u);
  EXPECT_EQ(q.Block(1).WriteCount(), 1460u);
  EXPECT_EQ(q.Block(2).WriteCount(), 80u);

  // A later append fills the last block first.
  q.Append(Bytes(std::string(1400, 'y')));
  ASSERT_EQ(q.BlockCount(), 4u);
  EXPECT_EQ(q.Block(2).WriteCount(), 1460u);
  EXPECT_EQ(q.Block(3).WriteCount(), 20u);

  // Emptied blocks go while more follow; the last one stays for the next append.
  q.RemoveFront(1000);
  EXPECT_EQ(q.Front().size(), 460u);
  q.RemoveFront(460);
  EXPECT_EQ(q.BlockCount(), 3u);
  for (int i = 0; i < 2; ++i)
    q.RemoveFront(1460);
  q.RemoveFront(20);
  EXPECT_EQ(q.BlockCount(), 1u);
  EXPECT_TRUE(q.Empty());
  EXPECT_TRUE(q.Front().empty());
}

TEST(SocketErrorsTest, SystemErrorsKeepTheirSocketNumbersAndTexts) {
  const struct {
    int errnoValue;
    int error;
    const char* text;
  } cases[] = {
      {ECONNREFUSED, WSAECONNREFUSED, "Connection refused"},
      {ETIMEDOUT, WSAETIMEDOUT, "Connection timed out"},
      {ECONNRESET, WSAECONNRESET, "Connection reset by peer"},
      {EHOSTUNREACH, WSAEHOSTUNREACH, "No route to host"},
      {ENETUNREACH, WSAENETUNREACH, "Network is unreachable"},
      {EWOULDBLOCK, WSAEWOULDBLOCK, "Operation would block"},
      {EINPROGRESS, WSAEINPROGRESS, "Operation now in progress"},
      {ENOTCONN, WSAENOTCONN, "Socket is not connected"},
      {EADDRINUSE, WSAEADDRINUSE, "Address already in use"},
      {EPIPE, WSAECONNABORTED, "Connection aborted"},
      {EINVAL, WSAEINVAL, "Invalid argument"},
      {0, 0, "No Error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SocketErrorFromErrno(c.errnoValue), c.error) << c.text;
    EXPECT_EQ(SocketErrorText(c.error), c.text);
  }
  EXPECT_EQ(SocketErrorText(WSAHOST_NOT_FOUND), "Host not found");
  EXPECT_EQ(SocketErrorText(WSANO_DATA), "No Data");
  EXPECT_EQ(SocketErrorText(12345), "Not a WinSock error");
  EXPECT_EQ(SocketCallErrorMessage(WSAENOTCONN, "Send"),
            "Error 10057 in function Send\r\nSocket is not connected");
}

}  // namespace
}  // namespace parlumo
