#include "failure_plan.h"

namespace kav::standin {

namespace {

void ResetAll() {
  ResetKernelStandins();
  ResetMemoryStandins();
  ResetGdiplusStandin();
  ResetFileStandins();
  ResetIdentityStandin();
}

Controls AllControls() {
  Controls controls{};
  AddKernelControls(controls);
  AddMemoryControls(controls);
  AddGdiplusControls(controls);
  AddFileControls(controls);
  AddIdentityControls(controls);
  controls.Reset = ResetAll;
  return controls;
}

}  // namespace

const Controls* Get() {
  static const Controls controls = AllControls();
  return &controls;
}

}  // namespace kav::standin
