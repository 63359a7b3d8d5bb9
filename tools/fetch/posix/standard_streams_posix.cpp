#include "standard_streams.h"

namespace meridian::fetch {

// POSIX streams never translate line ends.
void UseBinaryStandardStreams() {}

}  // namespace meridian::fetch
