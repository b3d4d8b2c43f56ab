// A test that may use the platform stand-ins' controls: on Linux they are put
// back to their start before and after each test; on Windows there are none.
#pragma once

#include <gtest/gtest.h>

#include "platform/standin.h"

namespace kav::test {

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetStandins(); }
  void TearDown() override { ResetStandins(); }

  void ResetStandins() const {
    if (standins != nullptr) standins->Reset();
  }

  // Null on Windows, where the system's own services answer.
  const standin::Controls* const standins = standin::Get();
};

}  // namespace kav::test
