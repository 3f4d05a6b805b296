// The live model of the three windows: what each control shows now, reached by name.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "ui/Designs.h"

namespace cvi {

struct ControlState {
  std::string caption;  // a text box's text
  // The user's text held characters that the code page lacks: `caption` is what the system
  // would make of it, look-alikes or "?" in their place.
  bool alteredByCodePage = false;
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  double top = 0;  // twips
  double fontSize = 0;
};

enum class Property { Caption, Visible, Enabled, Checked, Top, FontSize };

// The platform side: draws a window from its design and keeps it in step with the model.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual void Create(const FormDesign& design, const std::vector<ControlState>& controls) = 0;
  virtual void Destroy(Form form) = 0;
  virtual void Show(Form form, bool visible) = 0;
  virtual void Update(Form form, Ctl ctl, Property property, const ControlState& state) = 0;
  // While `reason` is not empty, the window asks the system to wait for it before the user's
  // session ends, and the system shows the reason.
  virtual void BlockSessionEnd(Form, const std::string& /*reason*/) {}
};

// Draws nothing: for running the logic where its windows need not be seen (tests, benchmarks).
class NullFormView : public FormView {
 public:
  void Create(const FormDesign&, const std::vector<ControlState>&) override {}
  void Destroy(Form) override {}
  void Show(Form, bool) override {}
  void Update(Form, Ctl, Property, const ControlState&) override {}
};

// The logic side: the event handlers of the windows.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void Click(Form form, Ctl ctl) = 0;
  // The window is about to unload; true refuses the unload.
  virtual bool Unload(Form form) = 0;
  // The user's session ends for good; the process may be ended as soon as this returns.
  virtual void SessionEnding() {}
};

class Forms {
 public:
  explicit Forms(FormView& view) : view_(view) {}
  Forms(const Forms&) = delete;
  Forms& operator=(const Forms&) = delete;

  void SetEvents(FormEvents* events) { events_ = events; }

  // A window is created with its design on first use; any control operation loads it, except
  // after the user closed it: then its controls answer from a scratch state and it stays closed.
  void Load(Form form);
  void Show(Form form);
  // Hiding or unloading a window that is not loaded does nothing.
  void Hide(Form form);
  // Raises the unload handler; false when the handler refused.
  bool Unload(Form form);
  bool IsLoaded(Form form) const { return slot(form).loaded; }
  bool IsShown(Form form) const { return slot(form).loaded && slot(form).shown; }
  bool AnyLoaded() const;
  // While `reason` is not empty, ending the user's session waits for the window, showing why.
  void BlockSessionEnd(Form form, const std::string& reason);

  const std::string& Caption(Form form, Ctl ctl);
  void SetCaption(Form form, Ctl ctl, const std::string& caption);
  bool AlteredByCodePage(Form form, Ctl ctl);
  bool Visible(Form form, Ctl ctl);
  void SetVisible(Form form, Ctl ctl, bool visible);
  bool Enabled(Form form, Ctl ctl);
  void SetEnabled(Form form, Ctl ctl, bool enabled);
  bool Checked(Form form, Ctl ctl);
  void SetChecked(Form form, Ctl ctl, bool checked);
  // Positions in pixels of 1/96 inch, the unit in which code moves controls.
  double Top(Form form, Ctl ctl);
  void SetTop(Form form, Ctl ctl, double pixels);
  double FontSize(Form form, Ctl ctl);
  void SetFontSize(Form form, Ctl ctl, double points);

  // What the user does to a window, reported by the view.
  void UserClick(Form form, Ctl ctl);
  void UserClose(Form form);
  // `text` is in the code page; `keptByCodePage` is false when the user's characters did not all
  // survive the conversion.
  void UserEdited(Form form, Ctl ctl, const std::string& text, bool keptByCodePage = true);
  void SessionEnding();

  // The control that follows (or precedes) `from` in tab order among those that can take the
  // focus now; Ctl::None when there is none. From Ctl::None it gives the first.
  Ctl NextInTabOrder(Form form, Ctl from, bool backwards = false);

 private:
  struct Slot {
    bool loaded = false;
    bool shown = false;
    // Closed by the user: only an explicit Load brings the window back, never a control's use.
    bool closedByUser = false;
    std::vector<ControlState> controls;
  };
  Slot& slot(Form form) { return slots_[static_cast<int>(form)]; }
  const Slot& slot(Form form) const { return slots_[static_cast<int>(form)]; }
  ControlState& state(Form form, Ctl ctl);
  void Destroy(Form form);

  FormView& view_;
  FormEvents* events_ = nullptr;
  std::array<Slot, kFormCount> slots_;
  ControlState unknown_;
};

}  // namespace cvi
