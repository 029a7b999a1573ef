#pragma once

// One dialog on screen: the window built from the dialog's template (controls at their
// positions in dialog units, menus, a stack's tabs, the main dialog's progress bar), kept in
// step with the engine's fields, and the user's doing handed back to the engine.

#include <QDialog>
#include <QFont>
#include <map>
#include <string>
#include <vector>

#include "gui/qt_view.h"

class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;

namespace r7k {

struct DialogUnits;

class DialogWindow : public QDialog {
 public:
  DialogWindow(QtView& view, Dialog& dialog, QWidget* parent);

  Dialog& dialog() { return dialog_; }
  QEventLoop* loop = nullptr;
  QtView::Steps steps;

  QWidget* WidgetOf(int index) const {
    auto it = widgets_.find(index);
    return it == widgets_.end() ? nullptr : it->second;
  }

  // Shows the engine's value of one field (every field for -1).
  void Update(int index);
  // Hands typed but not yet committed texts to the engine (before a press, Enter, close).
  void CommitEdits();
  void SetPicture(int index, const FieldPicture& picture);
  void PressField(int index);
  // The focus starts in the first field the user can change; in a dialog that only shows
  // (About), on its default button.
  void FocusFirst();
  // The main dialog's progress of a module operation; hidden when none runs.
  void ShowProgress(const ModuleOpProgress& p);
  QProgressBar* progress() const { return progress_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void AddProgress(QWidget* client, const DialogUnits& du);
  void BuildControl(const ControlDef& c, QWidget* parent, int dx, int dy, Field* f);
  void UpdateField(Field& f);
  void CommitEdit(Field& f);
  void ConnectLabels();

  QtView& view_;
  Dialog& dialog_;
  std::map<int, QWidget*> widgets_;      // field index → widget
  std::map<int, QLabel*> labels_by_id_;  // label control id → label
  std::map<const ControlDef*, QLabel*> labels_;
  std::map<int, std::vector<std::string>> rows_shown_;
  std::map<int, bool> dirty_;
  bool updating_ = false;
  QFont fixed_;
  QProgressBar* progress_ = nullptr;
  QPushButton* stop_ = nullptr;
};

}  // namespace r7k
