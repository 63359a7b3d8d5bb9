#include "transport/net_stack.h"

#include <gtest/gtest.h>
