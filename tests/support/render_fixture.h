// A render session on the library built beside the tests, with the platform
// stand-ins put back to their start before each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "bytes.h"
#include "host/render_session.h"
#include "platform/standin.h"
#include "render/render_plugin.h"

namespace kav::test {

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    std::string error;
    ASSERT_TRUE(session.Open(host::PluginBesideProgram("kavrender"), error)) << error;
    ASSERT_EQ(session.EnableDevice(), S_OK);
  }
  void TearDown() override { standin::Reset(); }

  host::DriverHelper& helper() { return session.helper(); }
  RenderPdev& pdev() { return *static_cast<RenderPdev*>(session.devobj().pdevOEM); }

  host::RenderSession session;
};

}  // namespace kav::test
