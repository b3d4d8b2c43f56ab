// A render session on the library built beside the tests, with the platform
// stand-ins (where the build has them) put back to their start before each
// test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "bytes.h"
#include "host/render_session.h"
#include "render/render_plugin.h"
#include "standin_fixture.h"

namespace kav::test {

class RenderTest : public StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    std::string error;
    ASSERT_TRUE(session.Open(host::PluginBesideProgram("kavrender"), error)) << error;
    ASSERT_EQ(session.EnableDevice(), S_OK);
  }
  host::DriverHelper& helper() { return session.helper(); }
  RenderPdev& pdev() { return *static_cast<RenderPdev*>(session.devobj().pdevOEM); }

  host::RenderSession session;
};

}  // namespace kav::test
