#include "winview/win_view.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <wincodec.h>

#include <algorithm>
#include <filesystem>

#include "app/custom_fields.h"
#include "app/module_ops.h"
#include "store/item_store.h"
#include "support/ascii.h"

namespace r7k {

namespace {

constexpr UINT kMsgDrain = WM_APP + 1;  // wparam: the engine window whose queue to hand over
constexpr UINT kMsgSteps = WM_APP + 2;  // wparam: the engine window whose steps to run
constexpr UINT kMsgCall = WM_APP + 3;   // lparam: a std::function<void()>* to run and delete
constexpr int kFirstControlId = 1000;
constexpr int kStopId = 999;
constexpr wchar_t kDialogClass[] = L"R7kDialog";
constexpr wchar_t kPageClass[] = L"R7kPage";
constexpr wchar_t kPictureClass[] = L"R7kPicture";
constexpr wchar_t kCallsClass[] = L"R7kCalls";

HWND g_calls = nullptr;  // the message-only window that runs posted calls on the GUI thread

bool HasStyle(const ControlDef& c, std::string_view word) {
  for (const auto& s : c.style)
    if (EqualsIgnoringCase(s, word)) return true;
  return false;
}

// "\n" in the engine, "\r\n" in a multi-line edit control.
std::string ToCrLf(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '\n') out.push_back('\r');
    if (ch != '\r') out.push_back(ch);
  }
  return out;
}

std::string FromCrLf(const std::string& text) {
  std::string out;
  for (char ch : text)
    if (ch != '\r') out.push_back(ch);
  return out;
}

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), length + 1);
  return Narrow(text.data(), got);
}

// A picture in a DIB section (32 bits, top row first): what the controls draw from.
HBITMAP MakeDib(const FieldPicture& p) {
  if (p.width <= 0 || p.height <= 0 ||
      p.pixels.size() != static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height))
    return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = p.width;
  info.bmiHeader.biHeight = -p.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) return nullptr;
  // 0x00RRGGBB in memory is B, G, R, 0: the DIB's own order.
  std::copy(p.pixels.begin(), p.pixels.end(), static_cast<std::uint32_t*>(bits));
  GdiFlush();
  return bitmap;
}

// Draws `source` of the DIB into `target` of the device context (stretched when they differ).
void DrawDib(HDC dc, HBITMAP dib, RECT target, RECT source) {
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, dib);
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top,
             memory, source.left, source.top, source.right - source.left,
             source.bottom - source.top, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

// A window's picture as the screen shows it, in 0xRRGGBB pixels.
FieldPicture CaptureWindow(HWND hwnd) {
  FieldPicture out;
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return out;
  out.width = r.right - r.left;
  out.height = r.bottom - r.top;
  if (out.width <= 0 || out.height <= 0) return out;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = out.width;
  info.bmiHeader.biHeight = -out.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, out.width, out.height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    out.pixels.assign(p, p + static_cast<std::size_t>(out.width) * out.height);
    for (auto& px : out.pixels) px &= 0xFFFFFF;
    SelectObject(memory, old);
  }
  if (dib) DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

// A PNG file through the Windows Imaging Component.
bool SavePng(const FieldPicture& p, const std::string& path) {
  if (p.pixels.empty()) return false;
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory));
  if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE);
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(UINT(p.width), UINT(p.height));
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat32bppBGR)) hr = E_FAIL;
  if (SUCCEEDED(hr))
    hr = frame->WritePixels(UINT(p.height), UINT(p.width) * 4, UINT(p.pixels.size() * 4),
                            reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(p.pixels.data())));
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  if (frame) frame->Release();
  if (encoder) encoder->Release();
  if (stream) stream->Release();
  if (factory) factory->Release();
  return SUCCEEDED(hr);
}

HICON AppIcon(int size) {
  HICON icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), L"R7K_ICON", IMAGE_ICON, size, size, LR_SHARED));
  return icon ? icon : LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
}

LRESULT CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK CallsProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpfnWndProc = DialogProc;
  wc.lpszClassName = kDialogClass;
  wc.hIcon = AppIcon(32);
  wc.hIconSm = AppIcon(16);
  RegisterClassExW(&wc);
  wc.hIcon = wc.hIconSm = nullptr;
  wc.lpfnWndProc = PageProc;
  wc.lpszClassName = kPageClass;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = PictureProc;
  wc.lpszClassName = kPictureClass;
  wc.hbrBackground = nullptr;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = CallsProc;
  wc.lpszClassName = kCallsClass;
  RegisterClassExW(&wc);
  g_calls =
      CreateWindowExW(0, kCallsClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

WinView* g_view = nullptr;  // the view the calls window hands drains and steps to

LRESULT CALLBACK CallsProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kMsgCall) {
    std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lparam));
    (*call)();
    return 0;
  }
  if (message == kMsgDrain) {
    if (g_view) g_view->Drain(static_cast<WindowHandle>(wparam));
    return 0;
  }
  if (message == kMsgSteps) {
    if (g_view) g_view->RunSteps(static_cast<WindowHandle>(wparam));
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// Accelerator text of the menu definitions ("Ctrl C", "F5") as an ACCEL entry.
std::optional<ACCEL> ParseAccelerator(const std::string& text, int id) {
  ACCEL a{};
  a.fVirt = FVIRTKEY;
  a.cmd = static_cast<WORD>(id);
  std::string key;
  for (const std::string& word : [&] {
         std::vector<std::string> words;
         std::string w;
         for (char ch : text + " ") {
           if (ch == ' ' || ch == '+') {
             if (!w.empty()) words.push_back(w);
             w.clear();
           } else {
             w.push_back(ch);
           }
         }
         return words;
       }()) {
    if (EqualsIgnoringCase(word, "Ctrl"))
      a.fVirt |= FCONTROL;
    else if (EqualsIgnoringCase(word, "Shift"))
      a.fVirt |= FSHIFT;
    else if (EqualsIgnoringCase(word, "Alt"))
      a.fVirt |= FALT;
    else
      key = word;
  }
  if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0]))) {
    a.key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(key[0])));
  } else if (key.size() >= 2 && (key[0] == 'F' || key[0] == 'f') &&
             std::isdigit(static_cast<unsigned char>(key[1]))) {
    a.key = static_cast<WORD>(VK_F1 + std::atoi(key.c_str() + 1) - 1);
  } else if (EqualsIgnoringCase(key, "Del") || EqualsIgnoringCase(key, "Delete")) {
    a.key = VK_DELETE;
  } else if (EqualsIgnoringCase(key, "Ins") || EqualsIgnoringCase(key, "Insert")) {
    a.key = VK_INSERT;
  } else {
    return std::nullopt;
  }
  return a;
}

}  // namespace

void PostToGuiThread(std::function<void()> call) {
  auto* p = new std::function<void()>(std::move(call));
  if (!g_calls || !PostMessageW(g_calls, kMsgCall, 0, reinterpret_cast<LPARAM>(p))) delete p;
}

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(const wchar_t* text, int length) {
  if (length < 0) length = static_cast<int>(wcslen(text));
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

// One dialog on screen.
class WinDialog {
 public:
  WinDialog(WinView& view, Dialog& dialog, HWND owner, HICON big, HICON small)
      : view_(view), dialog_(dialog) {
    Build(owner, big, small);
  }
  ~WinDialog() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (accel_) DestroyAcceleratorTable(accel_);
    if (font_) DeleteObject(font_);
    if (fixed_) DeleteObject(fixed_);
    for (auto& [index, p] : pictures_)
      if (p.dib) DeleteObject(p.dib);
  }
  WinDialog(const WinDialog&) = delete;
  WinDialog& operator=(const WinDialog&) = delete;

  Dialog& dialog() { return dialog_; }
  HWND hwnd() const { return hwnd_; }
  WinView::Steps steps;

  HWND ControlOf(int field_index) const {
    auto it = by_field_.find(field_index);
    return it == by_field_.end() ? nullptr : controls_[it->second].hwnd;
  }
  // The tip on screen now, if one shows.
  std::optional<std::wstring> TipShown() const {
    if (!IsWindowVisible(tooltip_)) return std::nullopt;
    return tip_served_;
  }

  void Update(int index) {
    if (index < 0) {
      for (auto& f : dialog_.fields) UpdateField(*f);
      return;
    }
    if (static_cast<std::size_t>(index) < dialog_.fields.size())
      UpdateField(*dialog_.fields[index]);
  }

  void CommitEdits() {
    for (auto& f : dialog_.fields) CommitEdit(*f);
  }

  void PressField(int index) {
    CommitEdits();
    if (!dialog_.ended && !DlgUserPress(dialog_, index)) Update(index);
  }

  void SelectRow(int index, int row) {
    if (updating_ || dialog_.ended) return;
    if (row == DlgListSelection(*dialog_.fields[index])) return;
    CommitEdits();
    if (!DlgUserSelectRow(dialog_, index, row)) Update(index);
  }

  // Typed text the engine has not had yet.
  void MarkDirty(int index) {
    if (!updating_) dirty_[index] = true;
  }

  void CommitEdit(Field& f) {
    if (!dirty_[f.index]) return;
    dirty_[f.index] = false;
    HWND hwnd = ControlOf(f.index);
    if (!hwnd || f.def->kind != kKindText) return;
    const std::string text = FromCrLf(WindowText(hwnd));
    if (text == f.text) return;
    if (!DlgUserSetField(dialog_, f.index, text)) {
      MessageBeep(MB_OK);
      UpdateField(f);
    }
  }

  void FocusFirst() {
    HWND first = nullptr;
    for (auto& f : dialog_.fields) {
      HWND w = ControlOf(f->index);
      const int kind = f->def->kind;
      const bool input = kind == kKindText || kind == kKindList || kind == kKindCheck;
      if (w && input && f->state == FieldState::kFull && IsWindowVisible(w)) {
        first = w;
        break;
      }
    }
    if (!first && dialog_.def->default_id)
      if (Field* f = dialog_.FindField("#" + std::to_string(dialog_.def->default_id)))
        first = ControlOf(f->index);
    if (first) {
      SetFocus(first);
      // A one-line field is selected whole, as a dialog does when it gives a field the focus.
      if (f_kind(first) == kKindText && !(GetWindowLongW(first, GWL_STYLE) & ES_MULTILINE))
        SendMessageW(first, EM_SETSEL, 0, -1);
    }
  }

  void SetPicture(int index, const FieldPicture& picture) {
    auto& p = pictures_[index];
    if (p.dib) DeleteObject(p.dib);
    p.picture = picture;
    p.dib = MakeDib(picture);
    if (HWND w = ControlOf(index)) InvalidateRect(w, nullptr, TRUE);
  }

  void ShowProgress(const ModuleOpProgress& p) {
    if (!progress_) return;
    const bool running = !p.finished;
    const int show = running ? SW_SHOWNA : SW_HIDE;
    ShowWindow(progress_, show);
    ShowWindow(stop_, show);
    EnableWindow(stop_, running);
    if (!running) return;
    SendMessageW(progress_, PBM_SETRANGE32, 0, 1000);
    SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(ModuleOpPerMille(p)), 0);
    progress_text_ = Wide(ModuleOpProgressText(p));
    tips_[progress_] = Wide(p.note);
    InvalidateRect(progress_, nullptr, TRUE);
  }

  int ProgressValue() const {
    if (!progress_ || !IsWindowVisible(progress_)) return -1;
    return static_cast<int>(SendMessageW(progress_, PBM_GETPOS, 0, 0));
  }
  bool PressStop() {
    if (!stop_ || !IsWindowVisible(stop_) || !IsWindowEnabled(stop_)) return false;
    SendMessageW(stop_, BM_CLICK, 0, 0);
    return true;
  }

  int PageCount() const { return tab_ ? static_cast<int>(pages_.size()) : 0; }
  void ShowPage(int page) {
    if (!tab_ || page < 0 || page >= static_cast<int>(pages_.size())) return;
    TabCtrl_SetCurSel(tab_, page);
    for (std::size_t i = 0; i < pages_.size(); ++i)
      ShowWindow(pages_[i], static_cast<int>(i) == page ? SW_SHOW : SW_HIDE);
  }

  // Keyboard handling of the modal loop before the message is dispatched: Enter presses the
  // default field (a fresh press only, not one held down from the dialog before), Escape
  // closes, accelerators, then the dialog navigation of IsDialogMessage.
  bool PreTranslate(MSG& msg) {
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
    if (accel_ && TranslateAcceleratorW(hwnd_, accel_, &msg)) return true;
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
      HWND focus = GetFocus();
      if (msg.wParam == VK_RETURN && focus && (GetWindowLongW(focus, GWL_STYLE) & ES_MULTILINE) &&
          f_kind(focus) == kKindText)
        return false;
      if (msg.lParam & (1 << 30)) return true;  // held down: a repeat
      if (msg.wParam == VK_ESCAPE) {
        CommitEdits();
        if (!dialog_.ended) DlgUserClose(dialog_);
      } else {
        CommitEdits();
        if (!dialog_.ended) DlgUserEnter(dialog_);
      }
      return true;
    }
    if (msg.message == WM_CHAR && (msg.wParam == '\r' || msg.wParam == 27)) return false;
    return IsDialogMessageW(hwnd_, &msg);
  }

  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_COMMAND: {
        const int id = LOWORD(wparam);
        const int code = HIWORD(wparam);
        if (lparam == 0) {  // a menu item or an accelerator
          CommitEdits();
          if (!dialog_.ended) DlgUserMenu(dialog_, id);
          return 0;
        }
        if (id == kStopId) {
          CancelModuleOp();
          EnableWindow(stop_, FALSE);
          return 0;
        }
        const std::size_t n = static_cast<std::size_t>(id - kFirstControlId);
        if (id < kFirstControlId || n >= controls_.size() || !controls_[n].field) return 0;
        const int index = controls_[n].field->index;
        const int kind = controls_[n].def->kind;
        if (kind == kKindText) {
          if (code == EN_CHANGE) MarkDirty(index);
          if (code == EN_KILLFOCUS && !dialog_.ended) CommitEdit(*dialog_.fields[index]);
        } else if (kind == kKindList) {
          if (code == LBN_SELCHANGE)
            SelectRow(index, static_cast<int>(SendMessageW(controls_[n].hwnd, LB_GETCURSEL, 0, 0)));
          if (code == LBN_DBLCLK) {
            CommitEdits();
            if (!dialog_.ended) DlgUserEnter(dialog_);
          }
        } else if (code == BN_CLICKED) {
          if (kind == kKindCheck) {
            const bool checked = SendMessageW(controls_[n].hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (updating_ || dialog_.ended || checked == DlgIsChecked(*dialog_.fields[index]))
              return 0;
          }
          PressField(index);
        }
        return 0;
      }
      case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header->hwndFrom == tab_ && header->code == TCN_SELCHANGE) {
          ShowPage(TabCtrl_GetCurSel(tab_));
          return 0;
        }
        if (header->code == TTN_GETDISPINFOW) {
          auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
          HWND w = reinterpret_cast<HWND>(header->idFrom);
          if (header->idFrom >= kPlaceTipBase) {
            // A place speaks only for a greyed control that shows (a live one has its own tip).
            const std::size_t place = header->idFrom - kPlaceTipBase;
            w = place < places_.size() && IsWindowVisible(places_[place]) &&
                        !IsWindowEnabled(places_[place])
                    ? places_[place]
                    : nullptr;
          }
          auto it = tips_.find(w);
          info->lpszText = const_cast<wchar_t*>(it == tips_.end() ? L"" : it->second.c_str());
          tip_served_ = info->lpszText;
          return 0;
        }
        return 0;
      }
      case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
        DrawButton(*item);
        return TRUE;
      }
      case WM_CLOSE:
        CommitEdits();
        if (!dialog_.ended) DlgUserClose(dialog_);
        return 0;
      case kMsgDrain: view_.Drain(static_cast<WindowHandle>(wparam)); return 0;
      default: return DefWindowProcW(hwnd_, message, wparam, lparam);
    }
  }

  // A picture field's face (kPictureClass).
  void PaintPicture(HWND hwnd, HDC dc) {
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const int index = FieldOfWindow(hwnd);
    auto it = pictures_.find(index);
    if (it == pictures_.end()) return;
    const FieldPicture& p = it->second.picture;
    if (p.fit == FieldPicture::Fit::kColour) {
      const COLORREF colour = RGB((p.colour >> 16) & 0xFF, (p.colour >> 8) & 0xFF, p.colour & 0xFF);
      HBRUSH brush = CreateSolidBrush(colour);
      FillRect(dc, &client, brush);
      DeleteObject(brush);
      return;
    }
    if (!it->second.dib) return;
    const auto [source, target] = PlaceNatural(client.right, client.bottom, p.width, p.height);
    DrawDib(dc, it->second.dib, RECT{target.x, target.y, target.x + target.w, target.y + target.h},
            RECT{source.x, source.y, source.x + source.w, source.y + source.h});
  }

  int FieldOfWindow(HWND hwnd) const {
    const auto n = static_cast<std::size_t>(GetDlgCtrlID(hwnd) - kFirstControlId);
    return n < controls_.size() && controls_[n].field ? controls_[n].field->index : -1;
  }

  // The kind of the control's definition, -1 for windows that are not ours.
  int f_kind(HWND hwnd) const {
    const auto n = static_cast<std::size_t>(GetDlgCtrlID(hwnd) - kFirstControlId);
    return n < controls_.size() && controls_[n].hwnd == hwnd ? controls_[n].def->kind : -1;
  }

  // The progress bar as the system draws it, with the operation's text in its middle.
  static LRESULT CALLBACK ProgressSubclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR, DWORD_PTR data) {
    if (message != WM_PAINT) return DefSubclassProc(hwnd, message, wparam, lparam);
    const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
    auto* self = reinterpret_cast<WinDialog*>(data);
    HDC dc = GetDC(hwnd);
    RECT r;
    GetClientRect(hwnd, &r);
    HGDIOBJ old = SelectObject(dc, self->font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, self->progress_text_.c_str(), -1, &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return result;
  }

  // Files dropped on a field that takes them, and a bitmap button's Ctrl+C / Ctrl+V.
  static LRESULT CALLBACK ControlSubclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<WinDialog*>(data);
    const int index = self->FieldOfWindow(hwnd);
    if (message == WM_DROPFILES && index >= 0) {
      auto drop = reinterpret_cast<HDROP>(wparam);
      std::vector<std::string> paths;
      const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        const UINT got = DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size()));
        paths.push_back(Narrow(path.data(), static_cast<int>(got)));
      }
      DragFinish(drop);
      if (!paths.empty() && !self->dialog_.ended) {
        self->dirty_[index] = false;  // the dropped path replaces whatever was being typed
        DlgUserDropFiles(self->dialog_, index, paths);
      }
      return 0;
    }
    if (message == WM_KEYDOWN && index >= 0 && (GetKeyState(VK_CONTROL) & 0x8000) &&
        (wparam == 'C' || wparam == 'V')) {
      Field* field = self->dialog_.fields[index].get();
      char name[256] = "";
      if (field->proc)
        field->proc(field, kMsgGetText, sizeof name - 1, reinterpret_cast<LParam>(name));
      const std::string file = name;
      if (wparam == 'C' && OpenClipboard(self->hwnd_)) {
        EmptyClipboard();
        if (auto image = file.empty() ? std::nullopt : LoadButtonPicture(file)) {
          const FieldPicture p = ToFieldPicture(*image);
          if (HBITMAP dib = MakeDib(p)) {
            // CF_BITMAP from a device-dependent copy; the system makes CF_DIB from it.
            HDC screen = GetDC(nullptr);
            HBITMAP copy = CreateCompatibleBitmap(screen, p.width, p.height);
            HDC to = CreateCompatibleDC(screen);
            HGDIOBJ old = SelectObject(to, copy);
            DrawDib(to, dib, RECT{0, 0, p.width, p.height}, RECT{0, 0, p.width, p.height});
            SelectObject(to, old);
            DeleteDC(to);
            ReleaseDC(nullptr, screen);
            DeleteObject(dib);
            if (!SetClipboardData(CF_BITMAP, copy)) DeleteObject(copy);
          }
        }
        CloseClipboard();
      } else if (wparam == 'V' &&
                 (IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP))) {
        DlgSetField(field, kThisField, file.c_str(), -1);
      }
      return 0;
    }
    return DefSubclassProc(hwnd, message, wparam, lparam);
  }

 private:
  struct Control {
    HWND hwnd = nullptr;
    const ControlDef* def = nullptr;
    Field* field = nullptr;
  };
  struct Picture {
    FieldPicture picture;
    HBITMAP dib = nullptr;
  };

  void Build(HWND owner, HICON big, HICON small);
  void BuildRange(std::size_t from, std::size_t to, HWND parent,
                  const std::map<const ControlDef*, Field*>& field_of);
  HWND BuildControl(const ControlDef& c, HWND parent, Field* f);
  void AddTips(HWND w, HWND parent);
  void AddProgress();
  void UpdateField(Field& f);
  void DrawButton(const DRAWITEMSTRUCT& item);
  RECT Units(int x, int y, int w, int h) const {
    return RECT{MulDiv(x, base_x_, 4), MulDiv(y, base_y_, 8), MulDiv(x + w, base_x_, 4),
                MulDiv(y + h, base_y_, 8)};
  }
  HWND Make(DWORD ex, const wchar_t* cls, const std::wstring& text, DWORD style, RECT r,
            HWND parent, int id) {
    HWND w = CreateWindowExW(ex, cls, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
                             r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (w) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return w;
  }

  WinView& view_;
  Dialog& dialog_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HFONT fixed_ = nullptr;
  HACCEL accel_ = nullptr;
  HWND tooltip_ = nullptr;
  HWND tab_ = nullptr;
  std::vector<HWND> pages_;
  int base_x_ = 6, base_y_ = 13;
  std::vector<Control> controls_;
  std::map<int, std::size_t> by_field_;  // field index → control
  std::map<int, HWND> labels_by_id_;
  std::map<HWND, std::wstring> tips_;
  // The controls whose places in their parents have tips; a place's tool id is
  // kPlaceTipBase + its index (above every window handle, which fits in 32 bits).
  static constexpr UINT_PTR kPlaceTipBase = UINT_PTR{1} << 40;
  std::vector<HWND> places_;
  std::wstring tip_served_;
  std::map<int, std::vector<std::string>> lines_shown_;
  std::map<int, bool> dirty_;
  std::map<int, Picture> pictures_;
  bool updating_ = false;
  HWND progress_ = nullptr;
  HWND stop_ = nullptr;
  std::wstring progress_text_;
};

namespace {

LRESULT CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<WinDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->hwnd()) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

// Pages pass what their controls tell them to the dialog.
LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND || message == WM_NOTIFY || message == WM_DRAWITEM)
    return SendMessageW(GetAncestor(hwnd, GA_ROOT), message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    auto* self =
        reinterpret_cast<WinDialog*>(GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
    if (self) self->PaintPicture(hwnd, dc);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

void WinDialog::Build(HWND owner, HICON big, HICON small) {
  const DialogDef& def = *dialog_.def;
  RegisterClasses();
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  const int size = def.font_size > 0 ? def.font_size : 8;
  font_ = CreateFontW(-MulDiv(size, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_SWISS, L"MS Shell Dlg");
  fixed_ = CreateFontW(-MulDiv(size + 1, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       FIXED_PITCH | FF_MODERN, L"Courier New");
  // The dialog base units of the font, as Windows computes them for a dialog template.
  HGDIOBJ old = SelectObject(screen, font_);
  TEXTMETRICW tm{};
  GetTextMetricsW(screen, &tm);
  SIZE extent{};
  const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  GetTextExtentPoint32W(screen, letters, 52, &extent);
  base_x_ = std::max<int>(1, (extent.cx / 26 + 1) / 2);
  base_y_ = std::max<int>(1, tm.tmHeight);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);

  // The menu and its accelerators.
  HMENU menu_bar = nullptr;
  std::vector<ACCEL> accels;
  if (const MenuDef* menu = def.menu.empty() ? nullptr : DlgLibrary().FindMenu(def.menu)) {
    menu_bar = CreateMenu();
    for (const auto& popup : menu->popups) {
      HMENU sub = CreatePopupMenu();
      for (const auto& item : popup.items) {
        std::string text = item.text;
        if (!item.accelerator.empty()) {
          std::string keys = item.accelerator;
          for (char& ch : keys)
            if (ch == ' ') ch = '+';
          text += "\t" + keys;
          if (auto a = ParseAccelerator(item.accelerator, item.id)) accels.push_back(*a);
        }
        AppendMenuW(sub, MF_STRING, static_cast<UINT_PTR>(item.id), Wide(text).c_str());
      }
      AppendMenuW(menu_bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), Wide(popup.text).c_str());
    }
    if (!accels.empty())
      accel_ = CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size()));
  }

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD ex = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  hwnd_ =
      CreateWindowExW(ex, kDialogClass, Wide(dialog_.caption).c_str(), style, CW_USEDEFAULT,
                      CW_USEDEFAULT, 100, 100, owner, menu_bar, GetModuleHandleW(nullptr), this);
  if (big) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);

  std::map<const ControlDef*, Field*> field_of;
  for (auto& f : dialog_.fields) field_of[f->def] = f.get();
  const auto& controls = def.controls;
  const auto& pages = dialog_.pages;
  SIZE client{0, 0};
  if (pages.size() > 1) {
    // A stack of pages: the first page is the frame with the buttons, the others are tabs.
    const StackDef* stack = DlgLibrary().FindStack(dialog_.name);
    auto page_size = [&](std::size_t p) {
      const DialogDef* d = stack ? DlgLibrary().FindDialog(stack->Cell(p, "Resource")) : nullptr;
      const RECT r = d ? Units(0, 0, d->w, d->h) : Units(0, 0, 200, 100);
      return SIZE{r.right, r.bottom};
    };
    const int margin = 4;
    const SIZE frame_size = page_size(0);
    HWND frame = CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_VISIBLE,
                                 margin, margin, frame_size.cx, frame_size.cy, hwnd_, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    BuildRange(pages[0].second, pages[1].second, frame, field_of);
    SIZE most{0, 0};
    for (std::size_t p = 1; p < pages.size(); ++p) {
      const SIZE s = page_size(p);
      most.cx = std::max(most.cx, s.cx);
      most.cy = std::max(most.cy, s.cy);
    }
    // The tab control around the largest page.
    const int tab_top = margin + frame_size.cy + margin;
    tab_ = CreateWindowExW(0, WC_TABCONTROLW, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, margin, tab_top,
                           100, 100, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (std::size_t p = 1; p < pages.size(); ++p) {
      std::wstring label = Wide(pages[p].first);
      TCITEMW item{};  // (the W message: this build is not a UNICODE one)
      item.mask = TCIF_TEXT;
      item.pszText = label.data();
      SendMessageW(tab_, TCM_INSERTITEMW, p - 1, reinterpret_cast<LPARAM>(&item));
    }
    RECT display{0, 0, most.cx, most.cy};
    TabCtrl_AdjustRect(tab_, TRUE, &display);
    const int tab_w = display.right - display.left, tab_h = display.bottom - display.top;
    SetWindowPos(tab_, nullptr, 0, 0, tab_w, tab_h, SWP_NOMOVE | SWP_NOZORDER);
    RECT inside{0, 0, tab_w, tab_h};
    TabCtrl_AdjustRect(tab_, FALSE, &inside);
    for (std::size_t p = 1; p < pages.size(); ++p) {
      HWND page = CreateWindowExW(
          WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | (p == 1 ? WS_VISIBLE : 0),
          margin + inside.left, tab_top + inside.top, inside.right - inside.left,
          inside.bottom - inside.top, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
      SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      const std::size_t end = p + 1 < pages.size() ? pages[p + 1].second : controls.size();
      BuildRange(pages[p].second, end, page, field_of);
      pages_.push_back(page);
    }
    client.cx = std::max<LONG>(frame_size.cx, tab_w) + 2 * margin;
    client.cy = tab_top + tab_h + margin;
  } else if (def.w == 0 && def.h == 0) {
    // A stack of entries (the help choices): one button each, one under the other.
    int y = 7;
    for (auto& f : dialog_.fields) {
      const RECT r = Units(7, y, 120, 14);
      const int id = kFirstControlId + static_cast<int>(controls_.size());
      HWND b = Make(0, L"BUTTON", Wide(f->def->text), WS_TABSTOP | BS_PUSHBUTTON, r, hwnd_, id);
      by_field_[f->index] = controls_.size();
      controls_.push_back({b, f->def, f.get()});
      y += 18;
    }
    const RECT all = Units(0, 0, 134, y + 3);
    client = SIZE{all.right, all.bottom};
  } else {
    BuildRange(0, controls.size(), hwnd_, field_of);
    const RECT all = Units(0, 0, def.w, def.h);
    client = SIZE{all.right, all.bottom};
  }
  if (EqualsIgnoringCase(dialog_.name, "R7kProg")) AddProgress();
  // Group boxes stay behind the controls they frame.
  for (const auto& c : controls_)
    if (c.def->kind == kKindGroup)
      SetWindowPos(c.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Update(-1);

  // The window around the client area, centred on its owner (else the screen).
  RECT frame{0, 0, client.cx, client.cy};
  AdjustWindowRectEx(&frame, style, menu_bar != nullptr, ex);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  RECT area;
  if (!owner || !GetWindowRect(owner, &area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  int x = area.left + (area.right - area.left - w) / 2;
  int y = area.top + (area.bottom - area.top - h) / 2;
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  x = std::max<int>(work.left, std::min<int>(x, work.right - w));
  y = std::max<int>(work.top, std::min<int>(y, work.bottom - h));
  SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void WinDialog::BuildRange(std::size_t from, std::size_t to, HWND parent,
                           const std::map<const ControlDef*, Field*>& field_of) {
  const auto& controls = dialog_.def->controls;
  for (std::size_t i = from; i < to && i < controls.size(); ++i) {
    auto it = field_of.find(&controls[i]);
    BuildControl(controls[i], parent, it == field_of.end() ? nullptr : it->second);
  }
}

HWND WinDialog::BuildControl(const ControlDef& c, HWND parent, Field* f) {
  const RECT r = Units(c.x, c.y, c.w, c.h);
  const bool fixed = HasStyle(c, "courier") || EqualsIgnoringCase(dialog_.def->font, "Courier");
  const int id = kFirstControlId + static_cast<int>(controls_.size());
  const std::wstring text = Wide(c.text);
  HWND w = nullptr;
  switch (c.kind) {
    case kKindButton: {
      const bool is_default = c.id == dialog_.def->default_id && c.id != 0;
      w = Make(0, L"BUTTON", text, WS_TABSTOP | (is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), r,
               parent, id);
      break;
    }
    case kKindText: {
      DWORD style = WS_TABSTOP | ES_AUTOHSCROLL;
      if (HasStyle(c, "multiline")) {
        style = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;
        // Hexadecimal lines keep their length; a sentence ("wrap") breaks at the field's edge.
        if (!HasStyle(c, "wrap")) style |= ES_AUTOHSCROLL | WS_HSCROLL;
      }
      w = Make(WS_EX_CLIENTEDGE, L"EDIT", L"", style, r, parent, id);
      if (fixed) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(fixed_), FALSE);
      // Files dropped on a field that takes them (the path field) go to the engine.
      if (f && f->drop) {
        DragAcceptFiles(w, TRUE);
        SetWindowSubclass(w, ControlSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
      }
      break;
    }
    case kKindList:
      w = Make(
          WS_EX_CLIENTEDGE, L"LISTBOX", L"",
          WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
          r, parent, id);
      // Rows laid out in columns by a format need equal character widths.
      if (fixed || c.Attr(kAttrFormat) || true)
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(fixed_), FALSE);
      break;
    case kKindCheck:
      w = Make(0, L"BUTTON", text, WS_TABSTOP | BS_AUTOCHECKBOX, r, parent, id);
      break;
    case kKindGroup:
      w = Make(WS_EX_TRANSPARENT, L"BUTTON", text, BS_GROUPBOX, r, parent, id);
      break;
    case kKindIcon: {
      w = Make(0, L"STATIC", L"", SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE, r, parent, id);
      const bool own = EqualsIgnoringCase(c.text, "R7K_ICON") || c.text.empty();
      HICON icon = own ? AppIcon(32) : LoadIconW(nullptr, MAKEINTRESOURCEW(32514));  // IDI_QUESTION
      SendMessageW(w, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      SetWindowPos(w, nullptr, r.left, r.top, std::max<LONG>(r.right - r.left, 32),
                   std::max<LONG>(r.bottom - r.top, 32), SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case kKindCustom:
      if (c.AttrOr(kAttrCallback).find("BitmapFld") != std::string::npos) {
        w = Make(0, L"BUTTON", text, WS_TABSTOP | BS_OWNERDRAW, r, parent, id);
        SetWindowSubclass(w, ControlSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
      } else {
        w = Make(WS_EX_CLIENTEDGE, kPictureClass, L"", 0, r, parent, id);
      }
      break;
    default: {
      DWORD style = SS_LEFT;
      if (HasStyle(c, "right")) style = SS_RIGHT;
      if (HasStyle(c, "center")) style = SS_CENTER;
      if (style == SS_LEFT && c.h <= 14) style = SS_LEFTNOWORDWRAP;
      // A value shown in a label is shown as it stands ("&" is no mnemonic there).
      if (f && !f->tag.empty()) style |= SS_NOPREFIX;
      w = Make(0, L"STATIC", text, style, r, parent, id);
      if (fixed) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(fixed_), FALSE);
      if (c.id > 0) labels_by_id_[c.id] = w;
      break;
    }
  }
  if (const std::string* tip = c.Attr(kAttrTooltip)) tips_[w] = Wide(*tip);
  if (f || c.Attr(kAttrTooltip)) AddTips(w, parent);
  controls_.push_back({w, &c, f});
  if (f) by_field_[f->index] = controls_.size() - 1;
  return w;
}

// The control's tip, shown from the control itself while it takes the mouse, and from its place
// in the parent: a greyed control gets no mouse messages (the parent does), and its tip is the
// one that says why it is greyed.
void WinDialog::AddTips(HWND w, HWND parent) {
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = parent;
  tool.uId = reinterpret_cast<UINT_PTR>(w);
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  tool.uFlags = TTF_SUBCLASS;
  tool.uId = kPlaceTipBase + places_.size();
  GetWindowRect(w, &tool.rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&tool.rect), 2);
  places_.push_back(w);
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

// Below the status line of the main dialog: the running operation's progress, a Stop button
// that sends the cancel marker the operation's handler honours, and what the pass is doing.
void WinDialog::AddProgress() {
  const ControlDef* status = nullptr;
  for (const auto& c : dialog_.def->controls)
    if (EqualsIgnoringCase(c.AttrOr(kAttrTag), "_Status")) status = &c;
  if (!status) return;
  const int y = status->y + status->h + 5;
  progress_ = Make(0, PROGRESS_CLASSW, L"", 0, Units(status->x, y, 200, 12), hwnd_, kStopId - 1);
  stop_ = Make(0, L"BUTTON", L"Stop", WS_TABSTOP | BS_PUSHBUTTON,
               Units(status->x + 204, y - 1, 50, 14), hwnd_, kStopId);
  // The bar's text ("Read Module: 1024 of 524288 bytes") is drawn on the bar, as the Qt view's.
  SetWindowSubclass(progress_, ProgressSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
  tips_[stop_] = L"Stop the running module operation";
  for (HWND w : {stop_, progress_}) AddTips(w, hwnd_);
  ShowWindow(progress_, SW_HIDE);
  ShowWindow(stop_, SW_HIDE);
}

void WinDialog::UpdateField(Field& f) {
  HWND w = ControlOf(f.index);
  if (!w) return;
  updating_ = true;
  const bool visible = f.state != FieldState::kInvisible && f.def->w > 0 && f.def->h > 0;
  const bool stack_entry = dialog_.def->w == 0 && dialog_.def->h == 0;
  ShowWindow(w, visible || stack_entry ? SW_SHOWNA : SW_HIDE);
  EnableWindow(w, f.state != FieldState::kGreyed);
  // A greyed field says why in its tooltip.
  const std::string why = DlgGreyedReason(f);
  tips_[w] = Wide(why.empty() ? f.def->AttrOr(kAttrTooltip) : why);
  const bool read_only = f.state == FieldState::kReadOnly;
  if (const std::string* label = f.def->Attr(kAttrLabel)) {
    auto it = labels_by_id_.find(std::atoi(label->c_str()));
    if (it != labels_by_id_.end())
      ShowWindow(it->second, f.state != FieldState::kInvisible ? SW_SHOWNA : SW_HIDE);
  }
  switch (f.def->kind) {
    case kKindText:
      SendMessageW(w, EM_SETREADONLY, read_only, 0);
      if (!dirty_[f.index] && FromCrLf(WindowText(w)) != f.text)
        SetWindowTextW(w, Wide(ToCrLf(f.text)).c_str());
      break;
    case kKindCheck:
      SendMessageW(w, BM_SETCHECK, DlgIsChecked(f) ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case kKindList: {
      auto lines = DlgListLines(f);
      if (lines_shown_[f.index] != lines) {
        SendMessageW(w, WM_SETREDRAW, FALSE, 0);
        SendMessageW(w, LB_RESETCONTENT, 0, 0);
        int widest = 0;
        HDC dc = GetDC(w);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(w, WM_GETFONT, 0, 0)));
        for (const auto& line : lines) {
          const std::wstring row = Wide(line);
          SendMessageW(w, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
          SIZE s{};
          GetTextExtentPoint32W(dc, row.c_str(), static_cast<int>(row.size()), &s);
          widest = std::max<int>(widest, s.cx);
        }
        SelectObject(dc, old);
        ReleaseDC(w, dc);
        SendMessageW(w, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 4), 0);
        SendMessageW(w, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(w, nullptr, TRUE);
        lines_shown_[f.index] = std::move(lines);
      }
      const int selection = DlgListSelection(f);
      if (static_cast<int>(SendMessageW(w, LB_GETCURSEL, 0, 0)) != selection)
        SendMessageW(w, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
      break;
    }
    case kKindLabel:
      if (!f.tag.empty()) {
        const std::wstring text = Wide(f.text);
        if (Wide(WindowText(w)) != text) SetWindowTextW(w, text.c_str());
      }
      break;
    default: break;
  }
  updating_ = false;
}

// A bitmap button: the button's face, then its picture stretched three pixels inside its edges.
void WinDialog::DrawButton(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_BUTTON) return;
  RECT r = item.rcItem;
  UINT state = DFCS_BUTTONPUSH;
  if (item.itemState & ODS_SELECTED) state |= DFCS_PUSHED;
  if (item.itemState & ODS_DISABLED) state |= DFCS_INACTIVE;
  DrawFrameControl(item.hDC, &r, DFC_BUTTON, state);
  const int index = FieldOfWindow(item.hwndItem);
  auto it = pictures_.find(index);
  if (it != pictures_.end() && it->second.dib) {
    const FieldPicture& p = it->second.picture;
    DrawDib(item.hDC, it->second.dib, RECT{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3},
            RECT{0, 0, p.width, p.height});
  }
  if (item.itemState & ODS_FOCUS) {
    RECT focus{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
    DrawFocusRect(item.hDC, &focus);
  }
}

// --- WinUser -----------------------------------------------------------------------------------

Dialog& WinUser::dialog() { return window_.dialog(); }
bool WinUser::IsOpen() { return !window_.dialog().ended; }

bool WinUser::Set(std::string_view name, std::string_view text) {
  Field* f = dialog().FindField(name);
  HWND w = f ? window_.ControlOf(f->index) : nullptr;
  if (!IsOpen() || !w || !IsWindowEnabled(w) || f->def->kind != kKindText) return false;
  if (GetWindowLongW(w, GWL_STYLE) & ES_READONLY) return false;
  SetWindowTextW(w, Wide(ToCrLf(std::string(text))).c_str());  // EN_CHANGE marks it typed
  window_.CommitEdit(*f);
  return f->text == text;
}

bool WinUser::Press(std::string_view name) {
  Field* f = dialog().FindField(name);
  HWND w = f ? window_.ControlOf(f->index) : nullptr;
  if (!IsOpen() || !w || !IsWindowEnabled(w)) return false;
  wchar_t cls[32] = L"";
  GetClassNameW(w, cls, 32);
  if (_wcsicmp(cls, L"Button") == 0) {
    SendMessageW(w, BM_CLICK, 0, 0);
    return true;
  }
  window_.PressField(f->index);
  return true;
}

bool WinUser::Select(std::string_view name, int row) {
  Field* f = dialog().FindField(name);
  HWND w = f ? window_.ControlOf(f->index) : nullptr;
  if (!IsOpen() || !w || f->def->kind != kKindList) return false;
  if (row >= static_cast<int>(SendMessageW(w, LB_GETCOUNT, 0, 0))) return false;
  SendMessageW(w, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  // As the list tells its parent when the user picks a row.
  SendMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(w));
  return true;
}

bool WinUser::Menu(int control_id) {
  if (!IsOpen()) return false;
  window_.CommitEdits();
  return DlgUserMenu(dialog(), control_id);
}

void WinUser::Close() {
  if (IsOpen()) SendMessageW(window_.hwnd(), WM_CLOSE, 0, 0);
}

bool WinUser::WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (!IsOpen() || static_cast<int>(GetTickCount() - start) > timeout_ms) return done();
    view_.Drain(dialog().window);
    view_.PumpOnce();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

bool WinUser::SavePicture(const std::string& path) {
  HWND w = window_.hwnd();
  SetForegroundWindow(w);
  RedrawWindow(w, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  // Let the window system put it on the screen before it is read back.
  for (int i = 0; i < 5; ++i) {
    view_.PumpOnce();
    Sleep(30);
  }
  GdiFlush();
  return SavePng(CaptureWindow(w), path);
}

int WinUser::Progress() { return window_.ProgressValue(); }
bool WinUser::PressStop() { return window_.PressStop(); }

int WinUser::PageCount() { return window_.PageCount(); }
void WinUser::ShowPage(int page) { window_.ShowPage(page); }

std::string WinUser::Shown(std::string_view name) {
  Field* f = dialog().FindField(name);
  HWND w = f ? window_.ControlOf(f->index) : nullptr;
  if (!w) return {};
  if (f->def->kind == kKindList) {
    std::string out;
    const int n = static_cast<int>(SendMessageW(w, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      std::wstring row(static_cast<std::size_t>(SendMessageW(w, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
      const int got =
          static_cast<int>(SendMessageW(w, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data())));
      out += (i ? "\n" : "") + Narrow(row.data(), got);
    }
    return out;
  }
  return FromCrLf(WindowText(w));
}

bool WinUser::Enabled(std::string_view name) {
  Field* f = dialog().FindField(name);
  HWND w = f ? window_.ControlOf(f->index) : nullptr;
  return w && IsWindowEnabled(w);
}

std::optional<std::string> WinUser::TipOf(std::string_view name) {
  Field* f = dialog().FindField(name);
  HWND w = f ? window_.ControlOf(f->index) : nullptr;
  if (!w) return std::nullopt;
  RECT r;
  GetWindowRect(w, &r);
  // From outside the control onto its middle, as a hand moves the mouse.
  SetCursorPos(r.left - 20, r.top - 20);
  view_.PumpOnce();
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  std::optional<std::wstring> tip;
  WaitUntil([&] { return (tip = window_.TipShown()).has_value(); }, 5000);
  if (!tip) return std::nullopt;
  return Narrow(tip->c_str(), -1);
}

// --- WinView -----------------------------------------------------------------------------------

WinView::WinView() {
  RegisterClasses();
  g_view = this;
}

WinView::~WinView() {
  if (g_view == this) g_view = nullptr;
}

void* WinView::OwnerFor(WindowHandle owner) const {
  for (WindowHandle w = owner; w; w = GetParentWindow(w)) {
    auto it = windows_.find(w);
    if (it != windows_.end()) return it->second->hwnd();
  }
  return windows_.empty() ? nullptr : windows_.rbegin()->second->hwnd();
}

void WinView::DialogOpened(Dialog& dialog) {
  static HICON big = AppIcon(32), small = AppIcon(16);
  auto window = std::make_unique<WinDialog>(*this, dialog,
                                            static_cast<HWND>(OwnerFor(dialog.owner)), big, small);
  window->steps = StepsOnOpening(dialog);
  windows_[dialog.window] = std::move(window);
  OpenDialogsChanged(windows_.size());
}

void WinView::FieldChanged(Dialog& dialog, int index) {
  auto it = windows_.find(dialog.window);
  if (it == windows_.end()) return;
  if (dialog.ended) {
    PostMessageW(it->second->hwnd(), WM_NULL, 0, 0);  // the modal loop looks again
    return;
  }
  it->second->Update(index);
}

void WinView::DialogClosed(Dialog& dialog) {
  auto it = windows_.find(dialog.window);
  if (it == windows_.end()) return;
  std::unique_ptr<WinDialog> window = std::move(it->second);
  windows_.erase(it);
  HWND owner = GetWindow(window->hwnd(), GW_OWNER);
  if (owner) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  window.reset();
  OpenDialogsChanged(windows_.size());
  // The dialog below may have messages that waited while this one ran.
  for (const auto& [handle, w] : windows_) PostMessageW(g_calls, kMsgDrain, handle, 0);
}

void WinView::RunModal(Dialog& dialog) {
  auto it = windows_.find(dialog.window);
  if (it == windows_.end()) return;
  WinDialog* window = it->second.get();
  HWND hwnd = window->hwnd();
  HWND owner = GetWindow(hwnd, GW_OWNER);
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  SetForegroundWindow(hwnd);
  window->FocusFirst();
  PostMessageW(g_calls, kMsgDrain, dialog.window, 0);
  PostMessageW(g_calls, kMsgSteps, dialog.window, 0);
  MSG msg;
  while (!dialog.ended) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      DlgEndDialog(dialog, 2);
      break;
    }
    if (window->PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (owner) EnableWindow(owner, TRUE);
}

void WinView::PumpOnce() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    // Only the innermost dialog takes keys: those below it are disabled while it runs.
    if (!windows_.empty() && windows_.rbegin()->second->PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::function<void()> WinView::WakeHook(Dialog& dialog) {
  const WindowHandle handle = dialog.window;
  return [handle] { PostMessageW(g_calls, kMsgDrain, handle, 0); };
}

void WinView::Drain(WindowHandle handle) {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return;
  Dialog& dialog = it->second->dialog();
  if (DlgTopDialog() != &dialog) return;
  while (!dialog.ended) {
    auto m = PeekWindowMessage(handle);
    if (!m) break;
    DlgDispatchMessage(dialog, *m);
  }
}

void WinView::RunSteps(WindowHandle handle) {
  auto it = windows_.find(handle);
  if (it == windows_.end() || !it->second->steps) return;
  WinDialog* w = it->second.get();
  Steps steps = std::move(w->steps);
  w->steps = nullptr;
  WinUser user(*this, *w);
  steps(user);
}

int WinView::ShowMessage(WindowHandle owner, int type, std::string_view caption,
                         std::string_view text) {
  if (scripted()) return RecordMessage(caption, text, type, ScriptedAnswer(type));
  // The types and results of the scripts are those of MessageBox.
  return RecordMessage(caption, text, type,
                       MessageBoxW(static_cast<HWND>(OwnerFor(owner)), Wide(text).c_str(),
                                   Wide(caption).c_str(), static_cast<UINT>(type)));
}

std::optional<std::string> WinView::ChooseFile(WindowHandle owner, const FileRequest& request) {
  if (scripted()) return ScriptedFile();
  // "Description|*.x|Other|*.*" → "Description\0*.x\0Other\0*.*\0\0"
  std::wstring filter = Wide(request.filter);
  for (auto& ch : filter)
    if (ch == L'|') ch = L'\0';
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  std::vector<wchar_t> file(32768, L'\0');
  std::wstring folder;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path initial = fs::path(Wide(request.initial_path));
  if (!request.initial_path.empty()) {
    if (fs::is_directory(initial, ec)) {
      folder = initial.wstring();
    } else {
      folder = initial.parent_path().wstring();
      const std::wstring name = initial.filename().wstring();
      std::copy_n(name.begin(), std::min(name.size(), file.size() - 1), file.begin());
    }
  }
  const std::wstring title = Wide(request.title);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = static_cast<HWND>(OwnerFor(owner));
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  // A virtual module may be read into a file that does not exist yet.
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  const BOOL ok = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) return std::nullopt;
  return Narrow(file.data());
}

void WinView::SetClipboardText(const std::string& text) {
  const std::wstring wide = Wide(ToCrLf(text));
  if (!OpenClipboard(windows_.empty() ? nullptr : windows_.rbegin()->second->hwnd())) return;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  if (memory) {
    auto* p = static_cast<wchar_t*>(GlobalLock(memory));
    std::copy(wide.begin(), wide.end(), p);
    p[wide.size()] = L'\0';
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

void WinView::Beep() { MessageBeep(MB_OK); }

void WinView::SetIcon(WindowHandle window, std::string_view) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  SendMessageW(it->second->hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon(32)));
  SendMessageW(it->second->hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(AppIcon(16)));
}

void WinView::ShowProgress(const ModuleOpProgress& progress) {
  for (auto& [handle, window] : windows_) window->ShowProgress(progress);
}

void WinView::ShowFieldPicture(Dialog& dialog, int index, const FieldPicture& picture) {
  auto it = windows_.find(dialog.window);
  if (it != windows_.end()) it->second->SetPicture(index, picture);
}

// The window's picture on the printer the user chooses (or the default one).
bool WinView::PrintDialog(Dialog& dialog) {
  auto it = windows_.find(dialog.window);
  if (it == windows_.end()) return false;
  const FieldPicture image = CaptureWindow(it->second->hwnd());
  if (image.pixels.empty()) return false;
  if (scripted()) {
    Printed();
    return true;
  }
  const bool ask = StoreGetString(dialog.app_store, "ShowPrintDialog").value_or("0") == "1";
  PRINTDLGW pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = it->second->hwnd();
  pd.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | (ask ? 0 : PD_RETURNDEFAULT);
  if (!PrintDlgW(&pd) || !pd.hDC) {
    if (!ask)
      ShowMessage(dialog.window, kMbOk | kMbIconExclamation, "Print", "No printer is set up.");
    return false;
  }
  HDC dc = pd.hDC;
  DOCINFOW doc{};
  doc.cbSize = sizeof doc;
  const std::wstring name = Wide(dialog.caption);
  doc.lpszDocName = name.c_str();
  bool ok = StartDocW(dc, &doc) > 0 && StartPage(dc) > 0;
  if (ok) {
    const int page_w = GetDeviceCaps(dc, HORZRES), page_h = GetDeviceCaps(dc, VERTRES);
    double scale = std::min(static_cast<double>(page_w) / image.width,
                            static_cast<double>(page_h) / image.height);
    scale = std::min(scale, 6.0);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc, 0, 0, static_cast<int>(image.width * scale),
                  static_cast<int>(image.height * scale), 0, 0, image.width, image.height,
                  image.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    ok = EndPage(dc) > 0 && EndDoc(dc) > 0;
  }
  DeleteDC(dc);
  if (pd.hDevMode) GlobalFree(pd.hDevMode);
  if (pd.hDevNames) GlobalFree(pd.hDevNames);
  if (ok) Printed();
  return ok;
}

}  // namespace r7k
