// The window renderer on real windows: what a label shows after its caption changes, bursts of
// caption changes, the close command, clicks and the hourglass; and the directory-entry lookup on
// the real file system.
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Driver.h"
#include "platform/win32/Handles.h"
#include "ui/win32/FormParts.h"
#include "ui/win32/FormWindow.h"

namespace cvi::win32 {
namespace {

// What the windows' event handlers were asked, and whether the next unload is refused.
class RecordingEvents : public FormEvents {
 public:
  void Click(Form, Ctl ctl) override { clicks.push_back(ctl); }
  bool Unload(Form) override {
    ++unloads;
    return refuseUnload;
  }
  std::vector<Ctl> clicks;
  int unloads = 0;
  bool refuseUnload = false;
};

// The pixels of a rectangle of a window's client area, read back from the window.
class ClientPixels {
 public:
  ClientPixels(HWND form, const RECT& rect)
      : width_(rect.right - rect.left), height_(rect.bottom - rect.top) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    WindowDC source(form);
    MemoryDC memory(CreateCompatibleDC(source.Get()));
    void* bits = nullptr;
    GdiObject bitmap(CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    SelectIn select(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, width_, height_, source.Get(), rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    pixels_.assign(pixels, pixels + width_ * height_);
  }
  // Pixels in columns [from, to) that are not white.
  int NonWhite(int from, int to) const {
    int count = 0;
    for (int y = 0; y < height_; ++y) {
      for (int x = from; x < to && x < width_; ++x) {
        if ((pixels_[y * width_ + x] & 0xFFFFFF) != 0xFFFFFF)
          ++count;
      }
    }
    return count;
  }
  int Matching(COLORREF colour) const {
    const DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    int count = 0;
    for (DWORD pixel : pixels_) {
      if ((pixel & 0xFFFFFF) == wanted)
        ++count;
    }
    return count;
  }
  int Width() const { return width_; }

 private:
  int width_;
  int height_;
  std::vector<DWORD> pixels_;
};

class FormRendererTest : public testing::Test {
 protected:
  void SetUp() override {
    view_.Attach(forms_);
    forms_.SetEvents(&events_);
    forms_.Show(Form::frmInstall);
    form_ = view_.WindowOf(Form::frmInstall);
    ASSERT_NE(form_, nullptr) << "no window: is DISPLAY set?";
    SetForegroundWindow(form_);
    pump_.WaitMilliseconds(200);
  }
  void TearDown() override { forms_.SetEvents(nullptr); }

  HWND Control(Ctl ctl) const { return GetDlgItem(form_, static_cast<int>(ctl)); }
  RECT ClientRectOf(Ctl ctl) const {
    RECT rect;
    GetWindowRect(Control(ctl), &rect);
    MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  std::string Text(Ctl ctl) const {
    char text[256] = {};
    GetWindowTextA(Control(ctl), text, sizeof text);
    return text;
  }

  Win32Screen screen_;
  Win32FormView view_{GetModuleHandleA(nullptr), screen_};
  Forms forms_{view_};
  Win32EventPump pump_{&view_};
  RecordingEvents events_;
  HWND form_ = nullptr;
};

// The byte counter is a transparent, right-aligned label: a short number after a long one must not
// leave the long one's digits on the screen.
TEST_F(FormRendererTest, TransparentLabelKeepsNoTraceOfItsOldCaption) {
  const RECT rect = ClientRectOf(Ctl::lblBytesDownloaded);
  forms_.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, "88888888");
  pump_.WaitMilliseconds(150);
  const int width = rect.right - rect.left;
  ASSERT_GT(ClientPixels(form_, rect).NonWhite(0, width / 2), 0) << "the long number was drawn";

  forms_.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, "1");
  pump_.WaitMilliseconds(150);
  const ClientPixels after(form_, rect);
  EXPECT_EQ(after.NonWhite(0, width / 2), 0);
  EXPECT_GT(after.Matching(RGB(192, 0, 0)), 0) << "the new number is drawn in dark red";
}

// The title is stacked over the white strip, which is stacked over the picture.
TEST_F(FormRendererTest, TitleIsDrawnOverTheWhiteStrip) {
  forms_.SetCaption(Form::frmInstall, Ctl::lblTitle, "Install CelvaraStudio version: v3.9");
  pump_.WaitMilliseconds(150);
  const ClientPixels title(form_, ClientRectOf(Ctl::lblTitle));
  EXPECT_GT(title.Matching(RGB(0, 0, 128)), 20) << "navy title text";
}

// Every window's controls lie front to back in the order of its design table, in the window and
// in the frame: what overlaps is drawn as designed. A control hidden at the first showing is made
// when it is first shown, and takes its place then; a hidden frame brings what it holds.
TEST_F(FormRendererTest, ControlsAreStackedInTableOrder) {
  forms_.Hide(Form::frmInstall);
  forms_.Unload(Form::frmInstall);
  forms_.SetVisible(Form::frmInstall, Ctl::frameShortcuts, false);
  for (Form form : {Form::frmInstall, Form::frmLaunch, Form::frmLaunchFull}) {
    SCOPED_TRACE(NameOf(form));
    forms_.Show(form);
    HWND window = view_.WindowOf(form);
    const FormDesign& design = DesignOf(form);
    for (std::size_t i = 0; i < design.count; ++i) {
      const ControlDesign& d = design.controls[i];
      const bool held = d.container != Ctl::None;
      HWND parent = held ? GetDlgItem(window, static_cast<int>(d.container)) : window;
      const bool made = parent && GetDlgItem(parent, static_cast<int>(d.name));
      EXPECT_EQ(made, forms_.Visible(form, d.name) && (!held || forms_.Visible(form, d.container)))
          << NameOf(d.name) << ": a control is made when first shown";
    }
    for (std::size_t i = design.count; i-- > 0;)
      forms_.SetVisible(form, design.controls[i].name, true);
    std::vector<std::pair<HWND, Ctl>> parents{{window, Ctl::None}};
    for (std::size_t i = 0; i < design.count; ++i) {
      if (design.controls[i].kind == ControlKind::Frame)
        parents.emplace_back(GetDlgItem(window, static_cast<int>(design.controls[i].name)),
                             design.controls[i].name);
    }
    for (const auto& [parent, container] : parents) {
      std::vector<int> stacked, designed;
      for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        stacked.push_back(GetDlgCtrlID(child));
      for (std::size_t i = 0; i < design.count; ++i) {
        if (design.controls[i].container == container)
          designed.push_back(static_cast<int>(design.controls[i].name));
      }
      EXPECT_EQ(stacked, designed);
    }
  }
}

// A download changes the counter every few kilobytes; the screen follows at its own pace and always
// ends on the last value.
TEST_F(FormRendererTest, LastOfABurstOfCaptionsLands) {
  for (int i = 1; i <= 3000; ++i) {
    forms_.SetCaption(Form::frmInstall, Ctl::lblBytesDownloaded, std::to_string(i * 4096));
    pump_.DoEvents();
  }
  pump_.WaitMilliseconds(100);
  EXPECT_EQ(Text(Ctl::lblBytesDownloaded), std::to_string(3000 * 4096));
  // Controls other than labels take their text at once.
  forms_.SetCaption(Form::frmInstall, Ctl::txtInstallPath, "D:\\Apps");
  forms_.SetCaption(Form::frmInstall, Ctl::txtInstallPath, "E:\\Tools");
  EXPECT_EQ(Text(Ctl::txtInstallPath), "E:\\Tools");
}

// The close command asks the model, which may refuse; when it agrees, the window is destroyed from
// inside its own close handling.
TEST_F(FormRendererTest, CloseCommandGoesThroughTheUnloadHandler) {
  events_.refuseUnload = true;
  PostMessageA(form_, WM_CLOSE, 0, 0);
  pump_.WaitMilliseconds(100);
  EXPECT_EQ(events_.unloads, 1);
  EXPECT_TRUE(IsWindow(form_));
  EXPECT_TRUE(forms_.IsLoaded(Form::frmInstall));

  events_.refuseUnload = false;
  PostMessageA(form_, WM_CLOSE, 0, 0);
  pump_.WaitMilliseconds(100);
  EXPECT_EQ(events_.unloads, 2);
  EXPECT_FALSE(IsWindow(form_));
  EXPECT_FALSE(forms_.IsLoaded(Form::frmInstall));
  EXPECT_EQ(view_.WindowOf(Form::frmInstall), nullptr);
}

TEST_F(FormRendererTest, ButtonClicksReachTheHandlersAndTypingReachesTheModel) {
  PostMessageA(Control(Ctl::cmdInstall), BM_CLICK, 0, 0);
  pump_.WaitMilliseconds(100);
  ASSERT_EQ(events_.clicks.size(), 1u);
  EXPECT_EQ(events_.clicks[0], Ctl::cmdInstall);

  // Keys go through the same pump: Enter on a focused button does not press it.
  SetFocus(Control(Ctl::cmdCancel));
  PostMessageA(Control(Ctl::cmdCancel), WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(Control(Ctl::cmdCancel), WM_CHAR, '\r', 0);
  pump_.WaitMilliseconds(100);
  EXPECT_EQ(events_.clicks.size(), 1u);

  SetWindowTextA(Control(Ctl::txtInstallPath), "D:\\Typed");
  EXPECT_EQ(forms_.Caption(Form::frmInstall, Ctl::txtInstallPath), "D:\\Typed");
}

TEST_F(FormRendererTest, HourglassStaysWhileItIsSet) {
  const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  screen_.SetMousePointer(Screen::kHourglass);
  EXPECT_TRUE(SendMessageA(form_, WM_SETCURSOR, reinterpret_cast<WPARAM>(form_), overClient));
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
  // Over a child control too: the path box would otherwise show its text cursor.
  HWND path = Control(Ctl::txtInstallPath);
  SendMessageA(path, WM_SETCURSOR, reinterpret_cast<WPARAM>(path), overClient);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));

  screen_.SetMousePointer(Screen::kDefault);
  SendMessageA(form_, WM_SETCURSOR, reinterpret_cast<WPARAM>(form_), overClient);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_ARROW));
}

// Every caption of the three windows, and the longer ones the installer sets later, against its
// box in the control's own font, wrapped at words where the control wraps: at 96 dpi, and at 120,
// 144 and 192 dpi on the work areas of common displays at those scalings (frmInstall is reduced to
// fit them, the completion windows are not). Each one that fits at 96 dpi fits at every scale, in
// a font of its scaled size.
TEST(FormScaleTest, CaptionsThatFitAt96DpiFitAtEveryScale) {
  const std::pair<int, RECT> displays[] = {{96, {0, 0, 4000, 3000}},
                                           {120, {0, 0, 1366, 718}},
                                           {144, {0, 0, 1920, 1008}},
                                           {192, {0, 0, 2560, 1344}}};
  const std::multimap<Ctl, std::string> later = {
      {Ctl::lblTitle, "Install CelvaraStudio version: v3.9"},
      {Ctl::lblTitle, "Upgrade CelvaraStudio to: v3.9"},
      {Ctl::lblInfo,
       "Since CelvaraStudio is already installed at the path below, this will be "
       "an Upgrade to the new version."},
      {Ctl::lblVersion, "Installation Completed for version: v3.9"},
      {Ctl::lblVersion, "Upgrade Completed for version: v3.9"},
  };
  // The design's bitmap face, which the rig's Wine does not load, from Wine's font package: at
  // 96 dpi the captions are measured in the face that Windows draws them in.
  AddFontResourceExA("Z:\\usr\\share\\wine\\fonts\\sserife.fon", FR_PRIVATE, nullptr);
  Win32Screen screen;
  std::map<std::string, bool> fitsAt96;
  for (const auto& [dpi, workArea] : displays) {
    Win32FormView view(GetModuleHandleA(nullptr), screen, dpi, workArea);
    Forms forms(view);
    view.Attach(forms);
    for (Form form : {Form::frmInstall, Form::frmLaunch, Form::frmLaunchFull}) {
      const FormDesign& design = DesignOf(form);
      for (std::size_t i = 0; i < design.count; ++i)
        forms.SetVisible(form, design.controls[i].name, true);
      forms.Show(form);
      for (std::size_t i = 0; i < design.count; ++i) {
        const ControlDesign& d = design.controls[i];
        if (d.kind == ControlKind::Image || d.kind == ControlKind::TextBox)
          continue;
        HWND control = e2e::FindChild(view.WindowOf(form), d.name);
        RECT box;
        GetClientRect(control, &box);
        const double pixelsPerTwip = static_cast<double>(box.right) / d.width;
        UINT format = DT_CALCRECT | DT_SINGLELINE;
        if (d.kind == ControlKind::CommandButton)
          InflateRect(&box, -2, -2);  // its raised edge
        if (d.kind == ControlKind::OptionButton)
          box.left += std::lround((form::kOptionBoxTwips + form::kOptionGapTwips) * pixelsPerTwip);
        if (d.kind == ControlKind::Label &&
            (GetWindowLongPtrA(control, GWL_STYLE) & SS_TYPEMASK) != SS_LEFTNOWORDWRAP)
          format = DT_CALCRECT | DT_WORDBREAK;
        WindowDC dc(control);
        SelectIn font(dc.Get(), reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc.Get(), &metrics);
        const double wanted = (d.fontSize != 0 ? d.fontSize : kWindowFontSize) * pixelsPerTwip * 20;
        if (dpi != 96) {
          EXPECT_NEAR(metrics.tmHeight - metrics.tmInternalLeading, wanted,
                      std::max(1.5, wanted / 10))
              << dpi << " dpi: " << NameOf(d.name) << " is not drawn at its size";
        }
        std::vector<std::string> texts{d.caption};
        for (auto [it, end] = later.equal_range(d.name); it != end; ++it)
          texts.push_back(it->second);
        for (const std::string& text : texts) {
          RECT needed{0, 0, box.right - box.left, 0};
          DrawTextA(dc.Get(), text.c_str(), -1, &needed, format);
          const bool fits = needed.right - needed.left <= box.right - box.left &&
                            needed.bottom - needed.top <= box.bottom - box.top;
          const std::string key = std::string(NameOf(form)) + " " + NameOf(d.name) + " " + text;
          if (dpi == 96)
            fitsAt96[key] = fits;
          EXPECT_TRUE(fits || !fitsAt96[key]) << dpi << " dpi: " << key << " does not fit";
        }
      }
      forms.Hide(form);
      forms.Unload(form);
    }
  }
}

// A folder with one entry of each kind the lookup must tell apart.
class FindEntryTest : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "cvi-find-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(root_.c_str(), nullptr);
    File("Plain.TXT", FILE_ATTRIBUTE_NORMAL);
    File("Hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    File("System.txt", FILE_ATTRIBUTE_SYSTEM);
    File("ReadOnly.txt", FILE_ATTRIBUTE_READONLY);
    Folder("Folder", 0);
    Folder("HiddenFolder", FILE_ATTRIBUTE_HIDDEN);
  }
  void TearDown() override {
    for (const char* name : {"Plain.TXT", "Hidden.txt", "System.txt", "ReadOnly.txt"}) {
      const std::string path = root_ + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
    for (const char* name : {"Folder", "HiddenFolder"}) {
      const std::string path = root_ + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      RemoveDirectoryA(path.c_str());
    }
    RemoveDirectoryA(root_.c_str());
  }
  void File(const char* name, DWORD attributes) {
    const std::string path = root_ + "\\" + name;
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid()) << path;
    file.Reset();
    SetFileAttributesA(path.c_str(), attributes);
  }
  void Folder(const char* name, DWORD attributes) {
    const std::string path = root_ + "\\" + name;
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
    if (attributes)
      SetFileAttributesA(path.c_str(), attributes);
  }
  std::string root_;
};

TEST_F(FindEntryTest, FindsWhatEachKindOfLookupAccepts) {
  struct Row {
    const char* name;
    const char* path;  // below the test folder
    EntryKind kind;
    const char* expected;
  };
  const Row rows[] = {
      {"file as stored", "plain.txt", EntryKind::OrdinaryFile, "Plain.TXT"},
      {"read-only file", "ReadOnly.txt", EntryKind::OrdinaryFile, "ReadOnly.txt"},
      {"hidden file", "Hidden.txt", EntryKind::OrdinaryFile, ""},
      {"system file", "System.txt", EntryKind::OrdinaryFile, ""},
      {"folder as a file", "Folder", EntryKind::OrdinaryFile, ""},
      {"missing file", "Missing.txt", EntryKind::OrdinaryFile, ""},
      {"wildcard", "Plain.*", EntryKind::OrdinaryFile, ""},
      {"question mark", "Plain.TX?", EntryKind::FolderOrFile, ""},
      {"DOS wildcard", "Plain<", EntryKind::FolderOrFile, ""},
      {"folder", "folder", EntryKind::FolderOrFile, "Folder"},
      {"hidden folder", "HiddenFolder", EntryKind::FolderOrFile, "HiddenFolder"},
      {"file among folders", "Plain.TXT", EntryKind::FolderOrFile, "Plain.TXT"},
      {"hidden file among folders", "Hidden.txt", EntryKind::FolderOrFile, ""},
      {"below a missing folder", "Missing\\Plain.TXT", EntryKind::FolderOrFile, ""},
  };
  Win32FileSystem files;
  for (const Row& row : rows) {
    EXPECT_EQ(files.FindEntry(root_ + "\\" + row.path, row.kind), row.expected) << row.name;
  }
  EXPECT_EQ(files.FindEntry("", EntryKind::FolderOrFile), "");
  // A path with a NUL (a registry value may carry one) would be read only up to it.
  const std::string cut = root_ + "\\Plain.TXT" + std::string(1, '\0') + "junk";
  EXPECT_EQ(files.FindEntry(cut, EntryKind::OrdinaryFile), "");
  EXPECT_EQ(files.CreateOutputFile(cut), nullptr);
}

TEST_F(FindEntryTest, OutputFileReplacesAndWritesEveryByte) {
  Win32FileSystem files;
  const std::string path = root_ + "\\Plain.TXT";
  {
    std::unique_ptr<OutputFile> file = files.CreateOutputFile(path);
    ASSERT_NE(file, nullptr);
    const std::string data(100000, 'x');
    EXPECT_TRUE(file->Write(data.data(), data.size()));
    EXPECT_TRUE(file->Write("", 0));
  }
  WIN32_FILE_ATTRIBUTE_DATA info = {};
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info));
  EXPECT_EQ(info.nFileSizeLow, 100000u);
  EXPECT_EQ(files.CreateOutputFile(root_ + "\\Missing\\New.bin"), nullptr);
  EXPECT_FALSE(files.CreateFolder(root_ + "\\Folder")) << "exists already";
  EXPECT_FALSE(files.DeleteFile(root_ + "\\Missing.txt"));
}

}  // namespace
}  // namespace cvi::win32
