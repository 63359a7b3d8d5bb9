#include "transport/anti_freeze.h"

#include <gtest/gtest.h>
