// A settings dialog's host that shows nothing and keeps the errors it is given, for
// the tests and fuzzers that drive the dialog's logic with hostile settings.
#pragma once

#include <string>
#include <vector>

#include "settings/settings_dialog.h"

namespace glimmerweave::testing {

class SilentDialogHost : public SettingsDialogHost {
 public:
  std::vector<std::string> errors;
  void showSliderPosition(SliderIndex, int) override {}
  void showCheckBox(bool) override {}
  int desktopBitCount() override { return 32; }
  void setClientSize(int, int) override {}
  void close() override {}
  void reportError(const std::string& message) override { errors.push_back(message); }
};

}  // namespace glimmerweave::testing
