#include "winview/user_path.h"

#include <filesystem>
#include <iostream>

#include "app/startup.h"
#include "winview/win_view.h"

namespace r7k {
namespace {

class Path {
 public:
  explicit Path(WinView& view) : view_(view) {}

  void Check(bool ok, const std::string& what) {
    std::cout << (ok ? "ok: " : "FAILED: ") << what << std::endl;
    if (!ok) ++failures_;
  }

  bool SelectKind(WinUser& user, char kind) {
    const auto rows = DlgListRows(*user.dialog().FindField("Directory"));
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (rows[i].size() > 1 && !rows[i][1].empty() && rows[i][1][0] == kind)
        return user.Select("Directory", static_cast<int>(i));
    return false;
  }

  // Presses OK in the next box of this name that asks before an operation starts.
  void ConfirmNext(const std::string& name) {
    view_.WhenDialogOpens(name, [](WinUser& d) {
      d.Press("OK");
      d.WaitUntil([&] { return !d.IsOpen(); }, 8000);
    });
  }

  void Main(WinUser& user, const std::string& demo, const std::string& read,
            const std::string& shots) {
    Check(user.WaitUntil([&] { return !user.Shown("Directory").empty(); }, 10000),
          "the demo module's directory shows");
    // Browse: an entry's bytes, a pattern and the next one, a sector and its technique.
    if (SelectKind(user, 'T')) {
      bool opened = false;
      view_.WhenDialogOpens("Hex", [&](WinUser& hex) {
        opened = true;
        Check(!hex.Shown("HexData").empty(), "Info shows the entry's bytes");
        hex.Press("Close");
      });
      user.Press("Info");
      Check(opened, "Info opens the hexadecimal view");
    }
    Check(SelectKind(user, 'P'), "a pattern entry is selected");
    view_.WhenDialogOpens("ShowPattern", [&](WinUser& pattern) {
      const std::string first = pattern.Shown("Name");
      pattern.Press("&>");
      Check(pattern.Shown("Name") != first && !first.empty(),
            "the pattern view's > shows the next pattern (" + first + " -> " +
                pattern.Shown("Name") + ")");
      pattern.Press("Close");
    });
    user.Press("Picture");
    Check(SelectKind(user, 'S'), "a sector entry is selected");
    view_.WhenDialogOpens("ShowSector", [&](WinUser& sector) {
      Check(!sector.Shown("Technique").empty(), "the sector view shows its technique");
      view_.WhenDialogOpens("ShowTechnique", [&](WinUser& technique) {
        Check(technique.PageCount() == 3, "the technique shows three pages");
        for (int i = 0; i < technique.PageCount(); ++i) technique.ShowPage(i);
        technique.Press("Close");
      });
      sector.Press("Show");
      sector.Press("Close");
    });
    user.Press("Picture");

    // Upload from the box on the COM port into a new file.
    Check(user.WaitUntil([&] { return user.Enabled("ReadModule"); }, 30000),
          "the box told its version over the COM port");
    Check(user.Set("CurrentVirtualModule", read), "the file to read into is set");
    ConfirmNext("CheckModule");
    Check(user.Press("Upload"), "Upload is pressed");
    bool seen = user.WaitUntil([&] { return user.Progress() > 0; }, 30000);
    Check(seen, "the read shows its progress");
    if (!shots.empty())
      Check(user.SavePicture(shots + "\\R7kProg-reading.png"),
            "the main dialog is pictured while it reads");
    Check(user.WaitUntil([&] { return user.Progress() < 0; }, 300000), "the read ends");
    std::error_code ec;
    Check(std::filesystem::file_size(read, ec) == 524288, "the module read is written");

    // An Upload stopped half way.
    ConfirmNext("CheckModule");
    user.Press("Upload");
    Check(user.WaitUntil([&] { return user.Progress() > 0; }, 30000), "a second read runs");
    Check(user.PressStop(), "Stop is pressed");
    Check(user.WaitUntil([&] { return user.Progress() < 0; }, 60000), "the read stops");
    Check(user.WaitUntil([&] { return user.Enabled("ReadModule"); }, 30000),
          "the main dialog is ready again");

    // Download the demo module into the box.
    Check(user.Set("CurrentVirtualModule", demo), "the demo module is the current one again");
    user.WaitUntil([&] { return !user.Shown("Directory").empty(); }, 10000);
    ConfirmNext("CheckModule");
    Check(user.Press("Download"), "Download is pressed");
    Check(user.WaitUntil([&] { return user.Progress() > 0; }, 30000),
          "the write shows its progress");
    Check(user.WaitUntil([&] { return user.Progress() < 0; }, 300000), "the write ends");

    // Without a module Upload is greyed, and a greyed control gets no mouse messages of its
    // own: the tip that says why must show all the same.
    user.Set("CurrentVirtualModule", "");
    const bool greyed = !user.Enabled("ReadModule");
    const auto tip = user.TipOf("ReadModule");
    Check(greyed && tip && tip->rfind("Choose a virtual module first", 0) == 0,
          std::string(greyed ? "the greyed" : "(not greyed)") +
              " Upload says why when the mouse rests on it: " + tip.value_or("(no tip)"));
    user.Close();
  }

  int failures() const { return failures_; }

 private:
  WinView& view_;
  int failures_ = 0;
};

}  // namespace

int RunUserPath(WinView& view, const std::vector<std::string>& args) {
  if (args.size() != 3 && args.size() != 4) {
    std::cerr << "usage: r7kprog --user-path PORT DEMO.r7v READ.r7v [PICTURES]\n";
    return 2;
  }
  view.SetScripted(true);
  Path path(view);
  bool configured = false, main_shown = false;
  view.WhenDialogOpens("Configuration", [&](WinUser& user) {
    configured = true;
    path.Check(user.Set("Port1", args[0]), "the configuration takes the port " + args[0]);
    path.Check(user.Set("CurrentVirtualModule", args[1]),
               "the configuration takes the demo module");
    if (user.dialog().FindField("fKeep")->text != "1") user.Press("fKeep");
    user.Press("OK");
  });
  view.WhenDialogOpens("R7kProg", [&](WinUser& user) {
    main_shown = true;
    path.Main(user, args[1], args[2], args.size() > 3 ? args[3] : "");
  });
  const int status = AppMain({});
  path.Check(configured && main_shown, "the configuration, then the main dialog");
  path.Check(status == 0, "the program ends well");
  for (const auto& m : view.messages())
    std::cout << "  box: " << m.caption << ": " << m.text << " -> " << m.answer << '\n';
  return path.failures() == 0 ? 0 : 1;
}

}  // namespace r7k
