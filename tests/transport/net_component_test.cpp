#include "transport/net_component.h"

#include <gtest/gtest.h>
