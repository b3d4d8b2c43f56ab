// One armed failure plan of a stand-in service.
#pragma once

#include <atomic>

#include "platform/standin.h"

namespace kav::standin {

class ArmedFailure {
 public:
  void Arm(FailurePlan plan) {
    sticky_ = plan.sticky;
    remaining_ = plan.nth;
  }
  // Counts one call and answers whether it is to fail.
  bool NextCallFails() {
    unsigned left = remaining_.load();
    if (left == 0) return false;
    if (left == 1) {
      if (!sticky_) remaining_ = 0;
      return true;
    }
    remaining_ = left - 1;
    return false;
  }

 private:
  std::atomic<unsigned> remaining_{0};
  bool sticky_ = false;
};

// Each group of stand-ins fills in its own controls, and puts them back to
// their start.
void AddKernelControls(Controls& controls);
void AddMemoryControls(Controls& controls);
void AddGdiplusControls(Controls& controls);
void AddFileControls(Controls& controls);
void AddIdentityControls(Controls& controls);
void ResetKernelStandin();
void ResetMemoryStandin();
void ResetGdiplusStandin();
void ResetFileStandins();
void ResetIdentityStandin();

}  // namespace kav::standin
