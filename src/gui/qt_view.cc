#include "gui/qt_view.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>
#include <filesystem>

#include "app/module_ops.h"
#include "gui/app_icon.h"
#include "gui/dialog_window.h"
#include "gui/qt_text.h"
#include "store/item_store.h"

namespace r7k {

namespace {

// Enter held down repeats: a release and a press at one time, over and over. Enter that
// closed one dialog and is still down when the next opens must not press that one's default
// button too, so only a fresh press of Enter acts.
class HeldEnterFilter : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const auto type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
      return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
      return QObject::eventFilter(watched, event);
    if (type == QEvent::KeyRelease) {
      if (key->timestamp() != 0) released_at_ = key->timestamp();
      return QObject::eventFilter(watched, event);
    }
    const bool repeated =
        key->isAutoRepeat() || (key->timestamp() != 0 && key->timestamp() == released_at_);
    return repeated || QObject::eventFilter(watched, event);
  }

 private:
  unsigned long released_at_ = 0;
};

}  // namespace

QtView::QtView() : alive_(std::make_shared<bool>(true)) {}

QtView::~QtView() { *alive_ = false; }

std::vector<DialogWindow*> QtView::OpenWindows() const {
  std::vector<DialogWindow*> out;
  for (const auto& [handle, window] : windows_) out.push_back(window);
  return out;  // handles grow, so this is the order of opening
}

QWidget* QtView::ParentFor(WindowHandle owner) const {
  for (WindowHandle w = owner; w; w = GetParentWindow(w)) {
    auto it = windows_.find(w);
    if (it != windows_.end()) return it->second;
  }
  return windows_.empty() ? nullptr : windows_.rbegin()->second;
}

void QtView::DialogOpened(Dialog& dialog) {
  if (!held_keys_ && qApp) {
    held_keys_ = std::make_unique<HeldEnterFilter>();
    qApp->installEventFilter(held_keys_.get());
  }
  auto* window = new DialogWindow(*this, dialog, ParentFor(dialog.owner));
  windows_[dialog.window] = window;
  OpenDialogsChanged(windows_.size());
  window->steps = StepsOnOpening(dialog);
}

void QtView::FieldChanged(Dialog& dialog, int index) {
  auto it = windows_.find(dialog.window);
  if (it == windows_.end()) return;
  DialogWindow* window = it->second;
  if (dialog.ended) {
    if (window->loop) window->loop->quit();
    return;
  }
  window->Update(index);
}

void QtView::DialogClosed(Dialog& dialog) {
  auto it = windows_.find(dialog.window);
  if (it == windows_.end()) return;
  DialogWindow* window = it->second;
  windows_.erase(it);
  window->hide();
  window->deleteLater();
  OpenDialogsChanged(windows_.size());
  // The dialog below may have messages that waited while this one ran.
  std::vector<WindowHandle> rest;
  for (const auto& [handle, w] : windows_) rest.push_back(handle);
  auto alive = alive_;
  QTimer::singleShot(0, qApp, [this, alive, rest] {
    if (!*alive) return;
    for (WindowHandle h : rest) Drain(h);
  });
}

void QtView::RunModal(Dialog& dialog) {
  auto it = windows_.find(dialog.window);
  if (it == windows_.end()) return;
  DialogWindow* window = it->second;
  window->setWindowModality(Qt::ApplicationModal);
  window->show();
  window->FocusFirst();
  QEventLoop loop;
  window->loop = &loop;
  const WindowHandle handle = dialog.window;
  auto alive = alive_;
  QTimer::singleShot(0, &loop, [this, alive, handle] {
    if (!*alive) return;
    Drain(handle);
    auto it = windows_.find(handle);
    if (it == windows_.end() || !it->second->steps) return;
    DialogWindow* w = it->second;
    Steps steps = std::move(w->steps);
    w->steps = nullptr;
    GuiUser user(*this, *w);
    steps(user);
  });
  if (!dialog.ended) loop.exec();
  window->loop = nullptr;
}

std::function<void()> QtView::WakeHook(Dialog& dialog) {
  const WindowHandle handle = dialog.window;
  auto alive = alive_;
  return [this, alive, handle] {
    QMetaObject::invokeMethod(
        qApp,
        [this, alive, handle] {
          if (*alive) Drain(handle);
        },
        Qt::QueuedConnection);
  };
}

void QtView::Drain(WindowHandle handle) {
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

int QtView::ShowMessage(WindowHandle owner, int type, std::string_view caption,
                        std::string_view text) {
  if (scripted()) return RecordMessage(caption, text, type, ScriptedAnswer(type));
  QMessageBox box(ParentFor(owner));
  box.setWindowTitle(Q(caption));
  box.setText(Q(text));
  switch (type & 0xF0) {
    case kMbIconStop: box.setIcon(QMessageBox::Critical); break;
    case kMbIconQuestion: box.setIcon(QMessageBox::Question); break;
    case kMbIconExclamation: box.setIcon(QMessageBox::Warning); break;
    case kMbIconInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  // Buttons in the order the type gives them, with the results the scripts expect.
  std::vector<std::pair<QMessageBox::StandardButton, int>> buttons;
  switch (type & 0xF) {
    case kMbOkCancel: buttons = {{QMessageBox::Ok, kIdOk}, {QMessageBox::Cancel, kIdCancel}}; break;
    case 2:
      buttons = {{QMessageBox::Abort, 3}, {QMessageBox::Retry, 4}, {QMessageBox::Ignore, 5}};
      break;
    case 3:
      buttons = {
          {QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}, {QMessageBox::Cancel, kIdCancel}};
      break;
    case kMbYesNo: buttons = {{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}}; break;
    case 5: buttons = {{QMessageBox::Retry, 4}, {QMessageBox::Cancel, kIdCancel}}; break;
    default: buttons = {{QMessageBox::Ok, kIdOk}}; break;
  }
  QMessageBox::StandardButtons all;
  for (const auto& [b, id] : buttons) all |= b;
  box.setStandardButtons(all);
  const bool second = (type & 0xF00) == kMbDefaultButton2;
  box.setDefaultButton(buttons[second && buttons.size() > 1 ? 1 : 0].first);
  const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
  int answer = buttons.back().second == kIdCancel ? kIdCancel : buttons[0].second;
  for (const auto& [b, id] : buttons)
    if (b == pressed) answer = id;
  return RecordMessage(caption, text, type, answer);
}

std::optional<std::string> QtView::ChooseFile(WindowHandle owner, const FileRequest& request) {
  if (scripted()) return ScriptedFile();
  // "Description|*.x|Other|*.*" → "Description (*.x);;Other (*.*)"
  QStringList filters;
  const QStringList parts = Q(request.filter).split('|');
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    const int paren = description.indexOf('(');
    if (paren > 0) description = description.left(paren).trimmed();
    filters << description + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  }
  QFileDialog dialog(ParentFor(owner), Q(request.title));
  dialog.setNameFilters(filters);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // A virtual module may be read into a file that does not exist yet.
  dialog.setFileMode(QFileDialog::AnyFile);
  std::error_code ec;
  const std::filesystem::path initial(request.initial_path);
  if (!request.initial_path.empty()) {
    if (std::filesystem::is_directory(initial, ec))
      dialog.setDirectory(Q(initial.string()));
    else
      dialog.setDirectory(Q(initial.parent_path().string()));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return S(dialog.selectedFiles().front());
}

void QtView::SetClipboardText(const std::string& text) {
  QApplication::clipboard()->setText(Q(text));
}

void QtView::Beep() { QApplication::beep(); }

void QtView::SetIcon(WindowHandle, std::string_view) {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
  QApplication::setWindowIcon(icon);
}

void QtView::ShowProgress(const ModuleOpProgress& progress) {
  for (auto& [handle, window] : windows_) window->ShowProgress(progress);
}

void QtView::ShowFieldPicture(Dialog& dialog, int index, const FieldPicture& picture) {
  auto it = windows_.find(dialog.window);
  if (it != windows_.end()) it->second->SetPicture(index, picture);
}

bool QtView::PrintDialog(Dialog& dialog) {
  auto it = windows_.find(dialog.window);
  if (it == windows_.end()) return false;
  const QImage image = it->second->grab().toImage();
  QPrinter printer(QPrinter::HighResolution);
  const bool ask = StoreGetString(dialog.app_store, "ShowPrintDialog").value_or("0") == "1";
  if (QPrinterInfo::availablePrinters().isEmpty() || scripted()) {
    // No printer: the picture goes to a PDF file the user names.
    FileRequest request;
    request.save = true;
    request.title = "Print to PDF";
    request.filter = "PDF document (*.pdf)|*.pdf";
    const auto path = ChooseFile(dialog.window, request);
    if (!path) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Q(*path));
  } else if (ask) {
    QPrintDialog ask_dialog(&printer, it->second);
    if (ask_dialog.exec() != QDialog::Accepted) return false;
  }
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const QRect page = painter.viewport();
  QSize size = image.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  if (size.width() > image.width() * 6) size = image.size() * 6;
  painter.drawImage(QRect(QPoint(0, 0), size), image);
  painter.end();
  Printed();
  return true;
}

}  // namespace r7k
