// The stand-ins' controls, gathered from each group of stand-ins into the one
// table that standin::Get() hands out.
#include "failure_plan.h"

namespace kav::standin {

namespace {

void ResetAll() {
  ResetKernelStandin();
  ResetMemoryStandin();
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
