#include "gui/screenshots.h"

#include "app/dialog_tour.h"
#include "gui/gui_app.h"
#include "gui/qt_view.h"

namespace r7k {

int RunScreenshotTour(QtView& view, const std::string& folder) {
  GuiSession session(view);
  view.SetScripted(true);
  return RunDialogTourOn(view, folder);
}

}  // namespace r7k
