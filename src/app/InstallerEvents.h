// Routes the windows' events to their handlers.
#pragma once

#include "core/Installer.h"
#include "ui/Forms.h"

namespace cvi {

class InstallerEvents : public FormEvents {
 public:
  explicit InstallerEvents(Installer& installer) : in_(installer) {}
  void Click(Form form, Ctl ctl) override;
  bool Unload(Form form) override;
  void SessionEnding() override;

 private:
  Installer& in_;
};

}  // namespace cvi
