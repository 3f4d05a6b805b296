// Draws any of the installer's windows from its design with real Win32 controls, keeps it in step
// with the control model and reports what the user does to it.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"
#include "ui/FormScale.h"
#include "ui/Forms.h"

namespace cvi::win32 {

// The window class of every installer window, the hidden owner included.
constexpr const char* kFormWindowClass = "CVInstallForm";

class Win32FormView : public FormView, public MessageFilter, public FormWindows {
 public:
  // A test may draw the windows as on another display: `dpi` and `workArea` then stand in for the
  // screen's resolution and the work area of the monitor a window opens on.
  Win32FormView(HINSTANCE instance, Win32Screen& screen, int dpi = 0, RECT workArea = {});
  ~Win32FormView() override;
  Win32FormView(const Win32FormView&) = delete;
  Win32FormView& operator=(const Win32FormView&) = delete;

  // The model that user actions are reported to. The model takes the view in its constructor, so
  // the two are joined in a second step.
  void Attach(Forms& forms) { forms_ = &forms; }

  void Create(const FormDesign& design, const std::vector<ControlState>& controls) override;
  void Destroy(Form form) override;
  void Show(Form form, bool visible) override;
  void Update(Form form, Ctl ctl, Property property, const ControlState& state) override;
  void BlockSessionEnd(Form form, const std::string& reason) override;

  // Tab and Shift+Tab move the focus in the windows' own tab order.
  bool PreTranslate(MSG& msg) override;
  HWND FirstVisibleForm() override;

  // The window of a loaded form, or null.
  HWND WindowOf(Form form) const;

 private:
  struct ControlWindow {
    const ControlDesign* design = nullptr;
    // Made when the control is first to be seen; until then only its state is kept.
    HWND hwnd = nullptr;
    ControlState state;
    // Caption changes of a label that come faster than the screen can show are held here and
    // applied at most every few milliseconds; the last one always lands.
    std::string pendingCaption;
    bool pending = false;
    DWORD lastCaptionTick = 0;
  };
  struct FormWindow {
    Win32FormView* view = nullptr;
    Form form = Form::frmInstall;
    const FormDesign* design = nullptr;
    // The whole design is drawn at this scale, chosen when the window is made.
    FormScale scale;
    HWND hwnd = nullptr;
    HWND lastFocus = nullptr;
    bool captionTimer = false;
    bool blocksSessionEnd = false;
    // The controls are made at the first showing, each one only once it is visible.
    bool controlsMade = false;
    std::vector<ControlWindow> controls;
  };

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK
  FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
  static LRESULT CALLBACK
  OptionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
  LRESULT HandleMessage(FormWindow& window, UINT message, WPARAM wParam, LPARAM lParam);

  void MakeControls(FormWindow& window);
  void MakeControl(FormWindow& window, ControlWindow& control);
  void CreateControl(FormWindow& window, ControlWindow& control);
  static bool StackedInTableOrder(FormWindow& window);
  LRESULT ColourStatic(FormWindow& window, HDC dc, HWND child);
  void DrawButton(FormWindow& window, const DRAWITEMSTRUCT& item);
  void DrawOption(FormWindow& window, HWND option, HDC dc);
  void DrawCaption(HDC dc, HWND control, RECT rect, UINT format, COLORREF colour, bool disabled);
  void DrawPictureIn(HDC dc, const RECT& rect);
  void OnActivate(FormWindow& window, bool active);

  void ApplyCaption(ControlWindow& control, const std::string& caption);
  void FlushCaptions(FormWindow& window);
  void PaintBeneath(FormWindow& window, ControlWindow& label, HDC dc);
  void RepaintLabelsAbove(FormWindow& window, ControlWindow& control);
  void FocusControl(FormWindow& window, Ctl ctl);
  void MoveFocusFrom(FormWindow& window, ControlWindow& control);

  RECT WorkAreaForNewWindow() const;
  FormWindow* Find(Form form) const;
  FormWindow* FindByWindow(HWND hwnd) const;
  ControlWindow* FindControl(FormWindow& window, Ctl ctl) const;
  ControlWindow* FindControl(FormWindow& window, HWND hwnd) const;

  HFONT Font(const FormScale& scale, double points, bool bold);
  HBRUSH Brush(COLORREF colour);

  HINSTANCE instance_;
  Win32Screen& screen_;
  Forms* forms_ = nullptr;
  int dpi_ = 96;
  RECT workArea_{};
  // Where the last installer window was, so that the next one opens on the same monitor.
  HMONITOR lastMonitor_ = nullptr;
  WindowHandle owner_;
  GdiObject picture_;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  std::array<std::unique_ptr<FormWindow>, kFormCount> windows_;
  // By character height, weight and face.
  std::map<std::tuple<int, bool, bool>, GdiObject> fonts_;
  std::map<COLORREF, GdiObject> brushes_;
};

}  // namespace cvi::win32
