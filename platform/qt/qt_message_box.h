#pragma once
// Shows message boxes on the user-interface thread without making the
// posting thread wait.
#include "platform/message_box.h"

namespace platform {

class QtMessageBoxBackend : public MessageBoxBackend {
 public:
  void Show(const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;
};

}  // namespace platform
