#pragma once

// What the dialog engine needs from whoever shows dialogs to the user. The engine decides what
// happens; the view shows it and turns the user's doing into the engine's user actions
// (DlgUserSetField, DlgUserPress, DlgUserSelectRow, DlgUserClose in dialog_engine.h).
//
// The modal loop belongs to the view: RunModal returns when the dialog has ended. While it runs
// it hands every message posted to the dialog's window to DlgDispatchMessage. Posts may come
// from any thread; the engine installs the window's wake hook through WakeHook so a loop that
// is not waiting in GetWindowMessage (a Qt event loop) can be woken.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/window_messages.h"

namespace r7k {

struct Dialog;

struct FileRequest {
  bool save = false;
  std::string title;
  std::string filter;  // "Virtual module (*.r7v)|*.r7v|All files|*.*"
  std::string initial_path;
};

// What a custom field draws (bitmap buttons, pictures, colour swatches).
struct FieldPicture {
  enum class Fit {
    kNone,     // nothing: the control's face only
    kStretch,  // the picture stretched inside the control (a few pixels in from its edges)
    kNatural,  // unscaled: centred where the control is larger, its middle part where smaller
    kColour,   // the whole control in `colour`
  };
  Fit fit = Fit::kNone;
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB, width x height, top row first
  std::uint32_t colour = 0xFFFFFF;    // 0xRRGGBB
};

// A rectangle in pixels.
struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const PixelRect&) const = default;
};

// Where a picture shown at its natural size (FieldPicture::Fit::kNatural) goes in a client
// area of client_w x client_h: the part of the picture drawn (its middle where the client is
// smaller) and where it lands in the client (centred where the client is larger).
inline std::pair<PixelRect, PixelRect> PlaceNatural(int client_w, int client_h, int picture_w,
                                                    int picture_h) {
  PixelRect source{0, 0, picture_w, picture_h};
  PixelRect target{0, 0, picture_w, picture_h};
  if (picture_w > client_w) {
    source.x = (picture_w - client_w) / 2;
    source.w = target.w = client_w;
  } else {
    target.x = (client_w - picture_w) / 2;
  }
  if (picture_h > client_h) {
    source.y = (picture_h - client_h) / 2;
    source.h = target.h = client_h;
  } else {
    target.y = (client_h - picture_h) / 2;
  }
  return {source, target};
}

class View {
 public:
  virtual ~View() = default;

  virtual void DialogOpened(Dialog& dialog) = 0;
  // A field's text, state or list rows changed; `index` -1 means the whole dialog.
  virtual void FieldChanged(Dialog& dialog, int index) = 0;
  virtual void DialogClosed(Dialog& dialog) = 0;
  // Runs until dialog.ended is set.
  virtual void RunModal(Dialog& dialog) = 0;
  // Called on the posting thread whenever a message arrives for the dialog's window.
  virtual std::function<void()> WakeHook(Dialog& dialog) = 0;

  // Message-box types and results as the scripts use them (see dialog_engine.h).
  virtual int ShowMessage(WindowHandle owner, int type, std::string_view caption,
                          std::string_view text) = 0;
  virtual std::optional<std::string> ChooseFile(WindowHandle owner, const FileRequest& request) = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
  virtual void Beep() = 0;
  virtual void SetIcon(WindowHandle window, std::string_view icon) = 0;
  // Prints what the dialog shows; false when the user cancelled or printing failed.
  virtual bool PrintDialog(Dialog& dialog) = 0;
  // A custom field's picture changed (a view without pictures ignores it).
  virtual void ShowFieldPicture(Dialog& dialog, int index, const FieldPicture& picture) {
    (void)dialog, (void)index, (void)picture;
  }
};

}  // namespace r7k
