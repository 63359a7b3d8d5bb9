#include "transport/io_handler.h"

namespace meridian::net {

void TNetIOHandler::ConnectClient(const std::string& /*host*/, int32_t /*port*/, const std::string& /*bound_ip*/,
                                  int32_t /*bound_port*/, int32_t /*bound_port_min*/, int32_t /*bound_port_max*/,
                                  int32_t /*timeout*/) {}

}  // namespace meridian::net
