#include "net/exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace meridian::net {
namespace {

// Each transport exception's text, and the base a caller catches it by.
TEST(ENetException, TransportExceptionsCarryTheirTexts) {
  const struct {
    std::function<void()> raise;
    std::string message;
  } cases[] = {
      {[] { throw ENetConnClosedGracefully(); }, "Connection Closed Gracefully."},
      {[] { throw ENetAlreadyConnected(); }, "Already connected."},
      {[] { throw ENetClosedSocket(); }, "Disconnected."},
      {[] { throw ENetReadTimeout(); }, "Read Timeout"},
      {[] { throw ENetReadLnMaxLineLengthExceeded(); }, "Max line length exceeded."},
      {[] { throw ENetInvalidServiceName("gopher2"); }, "gopher2 is not a valid service."},
      {[] { throw ENetConnectTimeout(); }, "Connect timed out."},
      {[] { throw ENetInvalidSocket(); }, "Cannot allocate socket."},
      {[] { throw ENetSocketError(10061, "Socket Error # 10061\r\nConnection refused."); },
       "Socket Error # 10061\r\nConnection refused."},
      {[] { throw ENetWS2StubError(0, "Error on call Winsock2 library function socket"); },
       "Error on call Winsock2 library function socket"},
      {[] { throw ENetWS2StubError(126, "Error on loading Winsock2 library (WS2_32.DLL)", "not found"); },
       "Error on loading Winsock2 library (WS2_32.DLL): not found"},
      {[] { throw ENetStackInitializationFailed(); }, "Winsock Initialization Error."},
      {[] { throw ENetStackSetSizeExceeded(); }, "Set Size Exceeded."},
      {[] { throw ENetCouldNotBindSocket(); }, "Could not bind socket. Address and port are already in use."},
      {[] { throw ENetCanNotBindPortInRange(1000, 1010); }, "Can not bind in port range (1000 - 1010)"},
      {[] { throw ENetInvalidPortRange(20, 10); }, "Invalid Port Range (20 - 10)"},
      {[] { throw ENetNotEnoughDataInBuffer(); }, "Not enough data in buffer."},
      {[] { throw ENetIOHandlerPropInvalid(); }, "IOHandler value is not valid"},
      {[] { throw ENetNoDataToRead(); }, "No data to read."},
      {[] { throw ENetNotConnected(); }, "Not Connected"},
      {[] { throw ENetFileNotFound("a.txt"); }, "File \"a.txt\" not found"},
  };
  for (const auto& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << c.message;
    } catch (const ENetException& e) {
      EXPECT_EQ(c.message, e.Message());
      EXPECT_STREQ(c.message.c_str(), e.what());
    }
  }
}

TEST(ENetException, FamiliesCatchTheirMembers) {
  EXPECT_THROW(throw ENetConnClosedGracefully(), ENetSilentException);
  EXPECT_THROW(throw ENetStackSetSizeExceeded(), ENetStackError);
  EXPECT_THROW(throw ENetInvalidPortRange(1, 0), ENetSocketHandleError);
  EXPECT_THROW(throw ENetNotConnected(), ENetTCPConnectionError);
  EXPECT_THROW(throw ENetSocketError(1, ""), rtl::Exception);
}

}  // namespace
}  // namespace meridian::net
