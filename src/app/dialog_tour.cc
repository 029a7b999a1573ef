#include "app/dialog_tour.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "app/startup.h"
#include "module/builtin_images.h"
#include "platform/environment.h"
#include "platform/registry.h"
#include "support/ascii.h"

namespace r7k {
namespace {

namespace fs = std::filesystem;

class Tour {
 public:
  Tour(const TourView& view, fs::path folder, fs::path module)
      : view_(view), folder_(std::move(folder)), module_(std::move(module)) {}

  // Writes the dialog's picture once per name.
  void Shot(TourUser& user, const std::string& name) {
    const fs::path file = folder_ / (name + ".png");
    if (!user.SavePicture(file.string())) {
      Fail("could not write " + file.string());
      return;
    }
    shot_.insert(AsciiLower(name));
  }

  // The next dialog of this name is pictured, then runs `then` (which must close it).
  void Expect(const std::string& name, std::function<void(TourUser&)> then = {}) {
    view_.when_dialog_opens(name, [this, name, then](TourUser& user) {
      Shot(user, name);
      if (then) then(user);
      if (user.IsOpen()) user.Close();
    });
  }

  // Selects the first directory row whose name begins with `kind`; false when there is none.
  bool SelectEntry(TourUser& user, char kind) {
    Field* f = user.dialog().FindField("Directory");
    if (!f) return false;
    const auto rows = DlgListRows(*f);
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].size() > 1 && !rows[i][1].empty() && rows[i][1][0] == kind)
        return user.Select("Directory", static_cast<int>(i));
    Fail(std::string("no entry of kind ") + kind + " in the demo module");
    return false;
  }

  void Configuration(TourUser& user) {
    Expect("Help");
    user.Press("Help");
    Expect("About");
    user.Press("About");
    user.Set("Port1", "sim");
    user.Set("CurrentVirtualModule", module_.string());
    if (user.dialog().FindField("fKeep")->text != "1") user.Press("fKeep");
    user.Press("OK");
  }

  void Main(TourUser& user) {
    if (!user.WaitUntil(
            [&] { return !DlgListRows(*user.dialog().FindField("Directory")).empty(); }))
      Fail("the demo module's directory did not show");
    Shot(user, "R7kProg");
    if (SelectEntry(user, '_')) {
      Expect("Hex", [this](TourUser& hex) {
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
      Expect("ShowSector", [this](TourUser& sector) {
        Expect("ShowTechnique", [this](TourUser& technique) { Pages(technique); });
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
  void Pages(TourUser& user) {
    const StackDef* stack = DlgLibrary().FindStack(user.dialog().name);
    const int pages = user.PageCount();
    if (pages == 0 || !stack) return Fail("the technique view has no pages");
    for (int i = 0; i < pages; ++i) {
      user.ShowPage(i);
      Shot(user, stack->Cell(static_cast<std::size_t>(i) + 1, "Resource"));
    }
    user.ShowPage(0);
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
      if (!shot_.count(key) && !IsFrame(key)) Fail("no picture of dialog " + def.name);
    for (const auto& [key, stack] : DlgLibrary().stacks)
      if (!shot_.count(key)) Fail("no picture of stack " + stack.name);
    // A failure box means a dialog did not show what it should.
    if (view_.failure_messages)
      for (const auto& m : view_.failure_messages()) Fail("message: " + m);
    return failures_ == 0 ? 0 : 1;
  }

  // The first page of a stack of pages is its frame: pictured with the stack.
  static bool IsFrame(const std::string& key) {
    for (const auto& [name, stack] : DlgLibrary().stacks)
      if (stack.IsPages() && !stack.rows.empty() &&
          EqualsIgnoringCase(stack.Cell(0, "Resource"), key))
        return true;
    return false;
  }

  void Fail(const std::string& what) {
    std::cerr << "screenshots: " << what << '\n';
    ++failures_;
  }

 private:
  const TourView& view_;
  fs::path folder_;
  fs::path module_;
  std::set<std::string> shot_;
  int failures_ = 0;
};

}  // namespace

int RunDialogTour(const TourView& view, const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    std::cerr << "screenshots: cannot make the folder " << folder << '\n';
    return 1;
  }
  // A scratch configuration and module: the tour leaves the user's settings alone.
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path scratch = fs::temp_directory_path() / ("r7kprog_tour_" + std::to_string(stamp));
  fs::remove_all(scratch, ec);
  fs::create_directories(scratch / "config", ec);
  const fs::path module = scratch / "demo.r7v";
  const auto demo = BuiltinImage("demo");
  std::ofstream(module, std::ios::binary)
      .write(reinterpret_cast<const char*>(demo.data()), static_cast<std::streamsize>(demo.size()));
  const char* old_config = std::getenv("R7K_CONFIG_DIR");
  const std::string saved_config = old_config ? old_config : "";
  SetEnvironmentValue("R7K_CONFIG_DIR", (scratch / "config").string());

  int status = 1;
  {
    ScratchRegistry registry;  // the settings the tour makes are not the user's
    Tour tour(view, folder, module);
    tour.Expect("Configuration", [&tour](TourUser& user) { tour.Configuration(user); });
    tour.Expect("R7kProg", [&tour](TourUser& user) { tour.Main(user); });
    AppMain({});
    status = tour.Finish();
  }
  if (old_config)
    SetEnvironmentValue("R7K_CONFIG_DIR", saved_config);
  else
    ClearEnvironmentValue("R7K_CONFIG_DIR");
  fs::remove_all(scratch, ec);
  return status;
}

}  // namespace r7k
