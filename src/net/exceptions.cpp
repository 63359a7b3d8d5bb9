#include "net/exceptions.h"

#include "rtl/text.h"

namespace meridian::net {

ENetInvalidServiceName::ENetInvalidServiceName(const std::string& service)
    : ENetException(rtl::Format("%s is not a valid service.", service.c_str())) {}

ENetWS2StubError::ENetWS2StubError(uint32_t error, std::string title, std::string error_text)
    : ENetException(error == 0 ? title : title + ": " + error_text),
      win32_error_(error),
      title_(std::move(title)),
      win32_error_text_(std::move(error_text)) {}

ENetCanNotBindPortInRange::ENetCanNotBindPortInRange(int32_t min, int32_t max)
    : ENetSocketHandleError(rtl::Format("Can not bind in port range (%d - %d)", min, max)) {}

ENetInvalidPortRange::ENetInvalidPortRange(int32_t min, int32_t max)
    : ENetSocketHandleError(rtl::Format("Invalid Port Range (%d - %d)", min, max)) {}

ENetFileNotFound::ENetFileNotFound(const std::string& file_name)
    : ENetTCPConnectionError(rtl::Format("File \"%s\" not found", file_name.c_str())) {}

}  // namespace meridian::net
