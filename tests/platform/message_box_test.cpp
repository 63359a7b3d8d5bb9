#include "platform/message_box.h"

#include <gtest/gtest.h>

#include "platform/scratch_folder.h"

namespace meridian::platform {
namespace {

TEST(ErrorMessageBox, WithoutDisplayWritesOneLineToStandardError) {
  testing::TEnvironmentChange display("DISPLAY", nullptr);
  testing::TEnvironmentChange wayland("WAYLAND_DISPLAY", nullptr);
  ::testing::internal::CaptureStderr();
  ErrorMessageBox("Could not open the catalogue.", "Meridian");
  EXPECT_EQ("Meridian: Could not open the catalogue.\n", ::testing::internal::GetCapturedStderr());
}

}  // namespace
}  // namespace meridian::platform
