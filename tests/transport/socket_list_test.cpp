#include "transport/socket_list.h"

#include <gtest/gtest.h>
