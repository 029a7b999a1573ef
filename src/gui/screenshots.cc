#include "gui/screenshots.h"

#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QTabWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "app/startup.h"
#include "engine/dialog_engine.h"
#include "gui/gui_app.h"
#include "gui/qt_view.h"
#include "module/builtin_images.h"
#include "support/ascii.h"

namespace r7k {
namespace {

namespace fs = std::filesystem;

class Tour {
 public:
  Tour(QtView& view, fs::path folder, fs::path module)
      : view_(view), folder_(std::move(folder)), module_(std::move(module)) {}

  // Writes the dialog's picture once per name.
  void Shot(GuiUser& user, const std::string& name) {
    const QImage image = user.Grab();
    const fs::path file = folder_ / (name + ".png");
    if (image.isNull() || !image.save(QString::fromStdString(file.string()))) {
      Fail("could not write " + file.string());
      return;
    }
    shot_.insert(AsciiLower(name));
  }

  // The next dialog of this name is pictured, then runs `then` (which must close it).
  void Expect(const std::string& name, std::function<void(GuiUser&)> then = {}) {
    view_.WhenDialogOpens(name, [this, name, then](GuiUser& user) {
      Shot(user, name);
      if (then) then(user);
      if (user.IsOpen()) user.Close();
    });
  }

  // Selects the first directory row whose name begins with `kind`; false when there is none.
  bool SelectEntry(GuiUser& user, char kind) {
    Field* f = user.dialog().FindField("Directory");
    if (!f) return false;
    const auto rows = DlgListRows(*f);
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].size() > 1 && !rows[i][1].empty() && rows[i][1][0] == kind)
        return user.Select("Directory", static_cast<int>(i));
    Fail(std::string("no entry of kind ") + kind + " in the demo module");
    return false;
  }

  void Configuration(GuiUser& user) {
    Expect("Help");
    user.Press("Help");
    Expect("About");
    user.Press("About");
    user.Set("Port1", "sim");
    user.Set("CurrentVirtualModule", module_.string());
    if (user.dialog().FindField("fKeep")->text != "1") user.Press("fKeep");
    user.Press("OK");
  }

  void Main(GuiUser& user) {
    if (!user.WaitUntil([&] { return !DlgListRows(*user.dialog().FindField("Directory")).empty(); }))
      Fail("the demo module's directory did not show");
    Shot(user, "R7kProg");
    if (SelectEntry(user, '_')) {
      Expect("Hex", [this](GuiUser& hex) {
        Expect("Text");
        hex.Press("?");
      });
      user.Press("Info");
    }
    if (SelectEntry(user, 'P')) {
      Expect("ShowPattern");
      user.Press("Picture");
    }
    if (SelectEntry(user, 'S')) {
      Expect("ShowSector", [this](GuiUser& sector) {
        Expect("ShowTechnique", [this](GuiUser& technique) { Pages(technique); });
        sector.Press("Show");
      });
      user.Press("Picture");
    }
    Expect("NewTech");
    user.Press("New Tech");
    Expect("NewPat");
    user.Press("New Pat");
    // The rest are opened as they stand: the module operations' dialogs need a module in the
    // box, and a tour must not wait for one.
    for (const auto& [key, def] : DlgLibrary().dialogs) {
      if (shot_.count(key) || IsPage(key)) continue;
      Expect(def.name);
      DlgRunDialog(user.dialog().window, def.name, user.dialog().main_store,
                   user.dialog().app_store);
    }
    user.Close();
  }

  // Each page of a stack of pages, as its own picture.
  void Pages(GuiUser& user) {
    auto* tabs = user.Window()->findChild<QTabWidget*>();
    const StackDef* stack = DlgLibrary().FindStack(user.dialog().name);
    if (!tabs || !stack) return Fail("the technique view has no pages");
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      Shot(user, stack->Cell(static_cast<std::size_t>(i) + 1, "Resource"));
    }
    tabs->setCurrentIndex(0);
  }

  // A page of a stack of pages: pictured with its stack.
  static bool IsPage(const std::string& key) {
    for (const auto& [name, stack] : DlgLibrary().stacks)
      if (stack.IsPages())
        for (std::size_t r = 0; r < stack.rows.size(); ++r)
          if (EqualsIgnoringCase(stack.Cell(r, "Resource"), key)) return true;
    return false;
  }

  // Every dialog and stack of the library has its picture.
  int Finish() {
    for (const auto& [key, def] : DlgLibrary().dialogs)
      if (!shot_.count(key) && !IsFrame(key))
        Fail("no picture of dialog " + def.name);
    for (const auto& [key, stack] : DlgLibrary().stacks)
      if (!shot_.count(key)) Fail("no picture of stack " + stack.name);
    // A failure box means a dialog did not show what it should.
    for (const auto& m : view_.messages())
      if ((m.type & 0xF0) == kMbIconStop) Fail("message: " + m.caption + ": " + m.text);
    return failures_ == 0 ? 0 : 1;
  }

  // The first page of a stack of pages is its frame: pictured with the stack.
  static bool IsFrame(const std::string& key) {
    for (const auto& [name, stack] : DlgLibrary().stacks)
      if (stack.IsPages() && !stack.rows.empty() && EqualsIgnoringCase(stack.Cell(0, "Resource"), key))
        return true;
    return false;
  }

  void Fail(const std::string& what) {
    std::cerr << "screenshots: " << what << '\n';
    ++failures_;
  }

 private:
  QtView& view_;
  fs::path folder_;
  fs::path module_;
  std::set<std::string> shot_;
  int failures_ = 0;
};

}  // namespace

int RunScreenshotTour(QtView& view, const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    std::cerr << "screenshots: cannot make the folder " << folder << '\n';
    return 1;
  }
  // A scratch configuration and module: the tour leaves the user's settings alone.
  const fs::path scratch = fs::temp_directory_path() / ("r7kprog_tour_" + std::to_string(::getpid()));
  fs::remove_all(scratch, ec);
  fs::create_directories(scratch / "config", ec);
  const fs::path module = scratch / "demo.r7v";
  const auto demo = BuiltinImage("demo");
  std::ofstream(module, std::ios::binary)
      .write(reinterpret_cast<const char*>(demo.data()), static_cast<std::streamsize>(demo.size()));
  const char* old_config = std::getenv("R7K_CONFIG_DIR");
  const std::string saved_config = old_config ? old_config : "";
  ::setenv("R7K_CONFIG_DIR", (scratch / "config").c_str(), 1);

  int status = 1;
  {
    GuiSession session(view);
    view.SetScripted(true);
    Tour tour(view, folder, module);
    tour.Expect("Configuration", [&tour](GuiUser& user) { tour.Configuration(user); });
    tour.Expect("R7kProg", [&tour](GuiUser& user) { tour.Main(user); });
    AppMain({});
    status = tour.Finish();
  }
  if (old_config)
    ::setenv("R7K_CONFIG_DIR", saved_config.c_str(), 1);
  else
    ::unsetenv("R7K_CONFIG_DIR");
  fs::remove_all(scratch, ec);
  return status;
}

}  // namespace r7k
