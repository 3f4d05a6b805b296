// The live model of the three windows.
#include "ui/Forms.h"

#include <algorithm>

namespace cvi {

void Forms::Load(Form form) {
  Slot& s = slot(form);
  if (s.loaded)
    return;
  const FormDesign& design = DesignOf(form);
  s.controls.assign(design.count, ControlState{});
  for (std::size_t i = 0; i < design.count; ++i) {
    const ControlDesign& d = design.controls[i];
    ControlState& c = s.controls[i];
    c.caption = d.caption;
    c.visible = d.visible;
    c.enabled = d.enabled;
    c.checked = d.checked;
    c.top = d.top;
    c.fontSize = d.fontSize == 0 ? kWindowFontSize : d.fontSize;
  }
  s.loaded = true;
  s.shown = false;
  s.closedByUser = false;
  view_.Create(design, s.controls);
}

void Forms::Show(Form form) {
  Load(form);
  Slot& s = slot(form);
  if (s.shown)
    return;
  s.shown = true;
  view_.Show(form, true);
}

void Forms::Hide(Form form) {
  Slot& s = slot(form);
  if (!s.loaded || !s.shown)
    return;
  s.shown = false;
  view_.Show(form, false);
}

bool Forms::Unload(Form form) {
  if (!slot(form).loaded)
    return true;
  if (events_ && events_->Unload(form))
    return false;
  // The handler may itself have unloaded the window.
  if (slot(form).loaded)
    Destroy(form);
  return true;
}

void Forms::Destroy(Form form) {
  Slot& s = slot(form);
  s.loaded = false;
  s.shown = false;
  s.controls.clear();
  view_.Destroy(form);
}

bool Forms::AnyLoaded() const {
  return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.loaded; });
}

void Forms::BlockSessionEnd(Form form, const std::string& reason) {
  if (slot(form).loaded)
    view_.BlockSessionEnd(form, reason);
}

ControlState& Forms::state(Form form, Ctl ctl) {
  if (slot(form).closedByUser) {
    unknown_ = ControlState{};
    return unknown_;
  }
  Load(form);
  const FormDesign& design = DesignOf(form);
  for (std::size_t i = 0; i < design.count; ++i) {
    if (design.controls[i].name == ctl)
      return slot(form).controls[i];
  }
  // A name the window does not have is a programming error; it changes nothing visible.
  unknown_ = ControlState{};
  return unknown_;
}

const std::string& Forms::Caption(Form form, Ctl ctl) {
  return state(form, ctl).caption;
}

// The program's own text is in the code page already; once set, the box shows it as it is.
void Forms::SetCaption(Form form, Ctl ctl, const std::string& caption) {
  ControlState& c = state(form, ctl);
  if (c.caption == caption && !c.alteredByCodePage)
    return;
  c.caption = caption;
  c.alteredByCodePage = false;
  view_.Update(form, ctl, Property::Caption, c);
}

bool Forms::AlteredByCodePage(Form form, Ctl ctl) {
  return state(form, ctl).alteredByCodePage;
}

bool Forms::Visible(Form form, Ctl ctl) {
  return state(form, ctl).visible;
}

void Forms::SetVisible(Form form, Ctl ctl, bool visible) {
  ControlState& c = state(form, ctl);
  if (c.visible == visible)
    return;
  c.visible = visible;
  view_.Update(form, ctl, Property::Visible, c);
}

bool Forms::Enabled(Form form, Ctl ctl) {
  return state(form, ctl).enabled;
}

void Forms::SetEnabled(Form form, Ctl ctl, bool enabled) {
  ControlState& c = state(form, ctl);
  if (c.enabled == enabled)
    return;
  c.enabled = enabled;
  view_.Update(form, ctl, Property::Enabled, c);
}

bool Forms::Checked(Form form, Ctl ctl) {
  return state(form, ctl).checked;
}

void Forms::SetChecked(Form form, Ctl ctl, bool checked) {
  ControlState& c = state(form, ctl);
  if (c.checked == checked)
    return;
  c.checked = checked;
  view_.Update(form, ctl, Property::Checked, c);
}

double Forms::Top(Form form, Ctl ctl) {
  return state(form, ctl).top / kTwipsPerPixel;
}

void Forms::SetTop(Form form, Ctl ctl, double pixels) {
  ControlState& c = state(form, ctl);
  c.top = pixels * kTwipsPerPixel;
  view_.Update(form, ctl, Property::Top, c);
}

double Forms::FontSize(Form form, Ctl ctl) {
  return state(form, ctl).fontSize;
}

void Forms::SetFontSize(Form form, Ctl ctl, double points) {
  ControlState& c = state(form, ctl);
  if (c.fontSize == points)
    return;
  c.fontSize = points;
  view_.Update(form, ctl, Property::FontSize, c);
}

namespace {

// Whether a control, and the frame that holds it, can act on input now.
bool Usable(const FormDesign& design, const std::vector<ControlState>& controls, std::size_t i) {
  if (!controls[i].visible || !controls[i].enabled)
    return false;
  Ctl container = design.controls[i].container;
  if (container == Ctl::None)
    return true;
  for (std::size_t j = 0; j < design.count; ++j) {
    if (design.controls[j].name == container)
      return controls[j].visible && controls[j].enabled;
  }
  return true;
}

}  // namespace

void Forms::UserClick(Form form, Ctl ctl) {
  const Slot& s = slot(form);
  if (!s.loaded || !events_)
    return;
  // The platform may report clicks on disabled or hidden buttons; the user cannot make them.
  const FormDesign& design = DesignOf(form);
  for (std::size_t i = 0; i < design.count; ++i) {
    if (design.controls[i].name == ctl) {
      if (Usable(design, s.controls, i))
        events_->Click(form, ctl);
      return;
    }
  }
}

void Forms::UserClose(Form form) {
  if (slot(form).loaded && Unload(form))
    slot(form).closedByUser = true;
}

void Forms::SessionEnding() {
  if (events_)
    events_->SessionEnding();
}

void Forms::UserEdited(Form form, Ctl ctl, const std::string& text, bool keptByCodePage) {
  if (!slot(form).loaded)
    return;
  state(form, ctl).caption = text;
  state(form, ctl).alteredByCodePage = !keptByCodePage;
}

Ctl Forms::NextInTabOrder(Form form, Ctl from, bool backwards) {
  if (slot(form).closedByUser)
    return Ctl::None;
  Load(form);
  const FormDesign& design = DesignOf(form);
  const Slot& s = slot(form);
  std::vector<const ControlDesign*> order;
  for (std::size_t i = 0; i < design.count; ++i) {
    if (TakesFocus(design.controls[i].kind) && Usable(design, s.controls, i)) {
      order.push_back(&design.controls[i]);
    }
  }
  if (order.empty())
    return Ctl::None;
  std::sort(order.begin(), order.end(), [](const ControlDesign* a, const ControlDesign* b) {
    return a->tabIndex < b->tabIndex;
  });
  const ControlDesign* current = from == Ctl::None ? nullptr : FindControl(form, from);
  if (!current)
    return backwards ? order.back()->name : order.front()->name;
  if (!backwards) {
    for (const ControlDesign* d : order) {
      if (d->tabIndex > current->tabIndex)
        return d->name;
    }
    return order.front()->name;
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    if ((*it)->tabIndex < current->tabIndex)
      return (*it)->name;
  }
  return order.back()->name;
}

}  // namespace cvi
