#include "gui/screenshots.h"

#include "app/dialog_tour.h"
#include "gui/gui_app.h"
#include "gui/qt_view.h"

namespace r7k {

int RunScreenshotTour(QtView& view, const std::string& folder) {
  GuiSession session(view);
  view.SetScripted(true);
  TourView tour;
  tour.when_dialog_opens = [&view](std::string name, std::function<void(TourUser&)> steps) {
    view.WhenDialogOpens(std::move(name), [steps = std::move(steps)](GuiUser& user) { steps(user); });
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
