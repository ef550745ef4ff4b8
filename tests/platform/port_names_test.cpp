#include "platform/port_names.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/folders.h"
#include "tests/services/home_scope.h"

namespace platform {
namespace {

TEST(PortNames, ComNamesResolveToTheirLinkElseTheBuiltInPort) {
  services::testing::HomeScope home;
  ASSERT_EQ(PortsFolder(), home.DataFolder() + "/ports");
  ASSERT_TRUE(EnsureFolder(PortsFolder()));
  ASSERT_EQ(::symlink("/dev/ttyUSB0", (PortsFolder() + "/com3").c_str()), 0);
  ASSERT_EQ(::symlink("/nowhere", (PortsFolder() + "/com4").c_str()), 0);

  struct Case {
    std::string name;
    std::string path;
  } cases[] = {
      {"\\\\.\\COM3", PortsFolder() + "/com3"},
      {"\\\\.\\COM4", PortsFolder() + "/com4"},  // dangling: that port does not exist
      {"\\\\.\\COM1", "/dev/ttyS0"},
      {"\\\\.\\com12", "/dev/ttyS11"},
      {"COM2", "/dev/ttyS1"},
      {"\\\\.\\COM0", ""},
      {"\\\\.\\COM", ""},
      {"\\\\.\\COMX", ""},
      {"/dev/ttyUSB1", "/dev/ttyUSB1"},
  };
  for (const Case& c : cases) EXPECT_EQ(PortDevicePath(c.name), c.path) << c.name;

  EXPECT_EQ(ComPortNumber("\\\\.\\COM7"), 7u);
  EXPECT_EQ(ComPortNumber("com50"), 50u);
  EXPECT_EQ(ComPortNumber("\\\\.\\COM0"), std::nullopt);
  EXPECT_EQ(ComPortNumber("COM1x"), std::nullopt);
  EXPECT_EQ(ComPortNumber("\\\\.\\COM99999999999"), std::nullopt);
}

}  // namespace
}  // namespace platform
