#pragma once

// The screenshot tour, for every view: each dialog of the program opened in turn over the demo
// module and the simulated box, each written as DIR/NAME.png from the window's own rendering.
// The view drives its real controls through a TourUser; the tour decides what is opened.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialog_engine.h"

namespace r7k {

// What a scripted user can do in one open dialog, through the view's controls. Fields are
// named as Dialog::FindField takes them (tag, text without "&", "#id").
class TourUser {
 public:
  virtual ~TourUser() = default;
  virtual Dialog& dialog() = 0;
  virtual bool IsOpen() = 0;
  virtual bool Set(std::string_view field, std::string_view text) = 0;
  virtual bool Press(std::string_view field) = 0;
  virtual bool Select(std::string_view field, int row) = 0;
  virtual void Close() = 0;
  // Handles events and posted messages until `done` holds; false on timeout.
  virtual bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 5000) = 0;
  // Writes the window as the user sees it to a PNG file; false when it could not.
  virtual bool SavePicture(const std::string& path) = 0;
  // A stack of pages: how many pages it shows (0 when it is no such stack), and which is shown.
  virtual int PageCount() = 0;
  virtual void ShowPage(int page) = 0;
};

// What the tour needs from the view besides the user (the view is installed by the caller,
// scripted: message boxes and file dialogs answered without a person).
struct TourView {
  // The next dialog of this name (any case) runs these steps once it is on screen.
  std::function<void(std::string name, std::function<void(TourUser&)> steps)> when_dialog_opens;
  // The "stop" boxes shown so far, as "caption: text" (each is a failure of the tour).
  std::function<std::vector<std::string>()> failure_messages;
};

// Runs the program over a scratch configuration and the demo module; returns 0 when every
// dialog was shown and written, 1 otherwise (what failed goes to stderr).
int RunDialogTour(const TourView& view, const std::string& folder);

// The tour over a scripted view of either kind: one that lets a user in when a dialog opens
// (WhenDialogOpens) and keeps the message boxes it showed (messages()).
template <class ScriptedView>
int RunDialogTourOn(ScriptedView& view, const std::string& folder) {
  TourView tour;
  tour.when_dialog_opens = [&view](std::string name, std::function<void(TourUser&)> steps) {
    view.WhenDialogOpens(std::move(name), [steps = std::move(steps)](auto& user) { steps(user); });
  };
  tour.failure_messages = [&view] {
    std::vector<std::string> out;
    for (const auto& m : view.messages())
      if ((m.type & 0xF0) == kMbIconStop) out.push_back(m.caption + ": " + m.text);
    return out;
  };
  return RunDialogTour(tour, folder);
}

}  // namespace r7k
