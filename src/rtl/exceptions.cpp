#include "rtl/exceptions.h"

#include "rtl/text.h"

namespace meridian::rtl {

void RaiseAssignError(const std::string& source_class, const std::string& target_class) {
  throw EAssignError(Format("Cannot assign a %s to a %s.", source_class.c_str(), target_class.c_str()));
}

}  // namespace meridian::rtl
