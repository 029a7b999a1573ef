// The scripted user of the Qt view (tests, the screenshot tour): it works the real widgets of
// one open dialog as a person would, and reads back what they show.

#include "gui/qt_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "gui/dialog_window.h"
#include "gui/qt_text.h"

namespace r7k {

Dialog& GuiUser::dialog() { return window_.dialog(); }
bool GuiUser::IsOpen() { return !window_.dialog().ended; }
QWidget* GuiUser::Window() { return &window_; }

QWidget* GuiUser::Widget(std::string_view name) {
  Field* f = dialog().FindField(name);
  return f ? window_.WidgetOf(f->index) : nullptr;
}

bool GuiUser::Set(std::string_view name, std::string_view text) {
  if (!IsOpen()) return false;
  QWidget* w = Widget(name);
  Field* f = dialog().FindField(name);
  if (!w || !f || !w->isEnabled()) return false;
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    if (e->isReadOnly()) return false;
    e->setText(Q(text));
    emit e->textEdited(e->text());
    emit e->editingFinished();
  } else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
    if (e->isReadOnly()) return false;
    e->setPlainText(Q(text));
    window_.CommitEdits();
  } else {
    return false;
  }
  return f->text == text;
}

bool GuiUser::Press(std::string_view name) {
  if (!IsOpen()) return false;
  QWidget* w = Widget(name);
  if (!w || !w->isEnabled()) return false;
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->click();
    return true;
  }
  Field* f = dialog().FindField(name);
  window_.PressField(f->index);
  return true;
}

bool GuiUser::Select(std::string_view name, int row) {
  auto* l = qobject_cast<QListWidget*>(Widget(name));
  if (!IsOpen() || !l || row >= l->count()) return false;
  l->setCurrentRow(row);
  return true;
}

bool GuiUser::Menu(int control_id) {
  if (!IsOpen()) return false;
  window_.CommitEdits();
  return DlgUserMenu(dialog(), control_id);
}

void GuiUser::Close() {
  if (IsOpen()) window_.close();
}

bool GuiUser::WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (!IsOpen() || timer.elapsed() > timeout_ms) return done();
    view_.Drain(dialog().window);
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

std::string GuiUser::Shown(std::string_view name) {
  QWidget* w = Widget(name);
  if (auto* e = qobject_cast<QLineEdit*>(w)) return S(e->text());
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return S(e->toPlainText());
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return S(b->text());
  if (auto* l = qobject_cast<QLabel*>(w)) return S(l->text());
  if (auto* l = qobject_cast<QListWidget*>(w)) {
    std::string out;
    for (int i = 0; i < l->count(); ++i) out += (i ? "\n" : "") + S(l->item(i)->text());
    return out;
  }
  return {};
}

bool GuiUser::SavePicture(const std::string& path) {
  const QImage image = Grab();
  return !image.isNull() && image.save(Q(path));
}

int GuiUser::PageCount() {
  auto* tabs = window_.findChild<QTabWidget*>();
  return tabs ? tabs->count() : 0;
}

void GuiUser::ShowPage(int page) {
  if (auto* tabs = window_.findChild<QTabWidget*>()) tabs->setCurrentIndex(page);
}

QImage GuiUser::Grab() {
  QApplication::processEvents();
  return window_.grab().toImage();
}

}  // namespace r7k
