#pragma once

// The desktop program: the Qt application, the view installed in the dialog engine, the link
// thread's message boxes routed to the screen, then the program's own start-up (or the
// screenshot tour).

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace r7k {

class QtView;
class ViewSession;

// Installs `view` as the engine's view and routes the link thread's boxes through it until
// the returned guard's scope ends. Needs a QApplication.
class GuiSession {
 public:
  explicit GuiSession(QtView& view);
  ~GuiSession();
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;

 private:
  std::unique_ptr<ViewSession> session_;
};

// "--help" and "--version" print their text and give the exit status, before any window or
// display is needed; nullopt for every other command line.
std::optional<int> AnswerInfoOptions(const std::vector<std::string>& args, std::ostream& out);

// r7kprog [FILE.r7v] | r7kprog --screenshots DIR | r7kprog --help | --version. Returns the
// exit status.
int RunGui(int argc, char** argv);

}  // namespace r7k
