// A render session on the library built beside the tests, with the platform
// stand-ins (where the build has them) put back to their start before each
// test.
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
    if (standins != nullptr) standins->Reset();
    std::string error;
    ASSERT_TRUE(session.Open(host::PluginBesideProgram("kavrender"), error)) << error;
    ASSERT_EQ(session.EnableDevice(), S_OK);
  }
  void TearDown() override {
    if (standins != nullptr) standins->Reset();
  }

  host::DriverHelper& helper() { return session.helper(); }
  RenderPdev& pdev() { return *static_cast<RenderPdev*>(session.devobj().pdevOEM); }

  // Null on Windows, where the system's own services answer.
  const standin::Controls* const standins = standin::Get();
  host::RenderSession session;
};

}  // namespace kav::test
