#include "gui/dialog_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/module_ops.h"
#include "gui/app_icon.h"
#include "gui/field_accessible.h"
#include "gui/picture_widgets.h"
#include "gui/qt_text.h"
#include "support/ascii.h"

namespace r7k {

namespace {

bool HasStyle(const ControlDef& c, std::string_view word) {
  for (const auto& s : c.style)
    if (EqualsIgnoringCase(s, word)) return true;
  return false;
}

}  // namespace

DialogWindow::DialogWindow(QtView& view, Dialog& dialog, QWidget* parent)
    : QDialog(parent), view_(view), dialog_(dialog) {
  setWindowTitle(Q(dialog.caption));
  setAttribute(Qt::WA_DeleteOnClose, false);
  Build();
}

void DialogWindow::Update(int index) {
  if (index < 0) {
    for (auto& f : dialog_.fields) UpdateField(*f);
    return;
  }
  if (static_cast<std::size_t>(index) < dialog_.fields.size()) UpdateField(*dialog_.fields[index]);
}

void DialogWindow::CommitEdits() {
  for (auto& f : dialog_.fields) CommitEdit(*f);
}

void DialogWindow::SetPicture(int index, const FieldPicture& picture) {
  QWidget* w = WidgetOf(index);
  if (auto* b = dynamic_cast<PictureButton*>(w)) b->SetPicture(picture);
  if (auto* f = dynamic_cast<PictureFrame*>(w)) f->SetPicture(picture);
}

void DialogWindow::PressField(int index) {
  CommitEdits();
  // Refused (unavailable, or a dialog above this one is open): a check box shows the
  // engine's value again.
  if (!dialog_.ended && !DlgUserPress(dialog_, index)) Update(index);
}

void DialogWindow::FocusFirst() {
  QWidget* first = nullptr;
  for (auto& f : dialog_.fields) {
    QWidget* w = WidgetOf(f->index);
    const bool input =
        f->def->kind == kKindText || f->def->kind == kKindList || f->def->kind == kKindCheck;
    if (w && input && f->state == FieldState::kFull && w->isVisible()) {
      first = w;
      break;
    }
  }
  if (!first)
    if (Field* f = dialog_.def->default_id
                       ? dialog_.FindField("#" + std::to_string(dialog_.def->default_id))
                       : nullptr)
      first = WidgetOf(f->index);
  if (first) first->setFocus(Qt::OtherFocusReason);
}

void DialogWindow::ShowProgress(const ModuleOpProgress& p) {
  if (!progress_) return;
  const bool running = !p.finished;
  progress_->setVisible(running);
  stop_->setVisible(running);
  stop_->setEnabled(running);
  if (!running) return;
  progress_->setRange(0, 1000);
  progress_->setValue(ModuleOpPerMille(p));
  progress_->setFormat(Q(ModuleOpProgressText(p)));
  progress_->setToolTip(Q(p.note));
}

void DialogWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (dialog_.ended) return;
  CommitEdits();
  DlgUserClose(dialog_);
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    if (!dialog_.ended) DlgUserClose(dialog_);
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    CommitEdits();
    if (!dialog_.ended) DlgUserEnter(dialog_);
    return;
  }
  QDialog::keyPressEvent(event);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
      event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    std::vector<std::string> paths;
    for (const QUrl& url : drop->mimeData()->urls())
      if (url.isLocalFile()) paths.push_back(S(url.toLocalFile()));
    int index = -1;
    for (auto& [i, widget] : widgets_)
      if (widget == watched) index = i;
    if (paths.empty() || index < 0 || !dialog_.fields[index]->drop) return false;
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop && !dialog_.ended) {
      dirty_[index] = false;  // the dropped path replaces whatever was being typed
      DlgUserDropFiles(dialog_, index, paths);
    }
    return true;
  }
  if (event->type() == QEvent::FocusOut) {
    for (auto& [index, widget] : widgets_)
      if (widget == watched && !dialog_.ended) CommitEdit(*dialog_.fields[index]);
  }
  return QDialog::eventFilter(watched, event);
}
void DialogWindow::Build() {
  const DialogDef& def = *dialog_.def;
  fixed_ = FixedFont();
  const DialogUnits du(QApplication::font());
  std::map<const ControlDef*, Field*> field_of;
  for (auto& f : dialog_.fields) field_of[f->def] = f.get();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (const MenuDef* menu = def.menu.empty() ? nullptr : DlgLibrary().FindMenu(def.menu)) {
    auto* bar = new QMenuBar(this);
    for (const auto& popup : menu->popups) {
      QMenu* m = bar->addMenu(Q(popup.text));
      for (const auto& item : popup.items) {
        QAction* a = m->addAction(Q(item.text));
        if (!item.accelerator.empty()) {
          std::string keys = item.accelerator;
          for (char& ch : keys)
            if (ch == ' ') ch = '+';
          a->setShortcut(QKeySequence(Q(keys)));
        }
        const int id = item.id;
        connect(a, &QAction::triggered, this, [this, id] {
          CommitEdits();
          if (!dialog_.ended) DlgUserMenu(dialog_, id);
        });
      }
    }
    layout->setMenuBar(bar);
  }

  auto* client = new QWidget(this);
  layout->addWidget(client);
  const auto& controls = def.controls;
  const auto& pages = dialog_.pages;
  const auto build_range = [&](std::size_t from, std::size_t to, QWidget* parent) {
    for (std::size_t i = from; i < to && i < controls.size(); ++i) {
      auto it = field_of.find(&controls[i]);
      BuildControl(controls[i], parent, 0, 0, it == field_of.end() ? nullptr : it->second);
    }
  };

  if (pages.size() > 1) {
    // A stack of pages: the first page is the frame with the buttons, the others are tabs.
    const StackDef* stack = DlgLibrary().FindStack(dialog_.name);
    auto page_size = [&](std::size_t p) {
      const DialogDef* d = stack ? DlgLibrary().FindDialog(stack->Cell(p, "Resource")) : nullptr;
      return d ? du.Size(d->w, d->h) : QSize(200, 100);
    };
    auto* frame = new QWidget(client);
    frame->setFixedSize(page_size(0));
    build_range(pages[0].second, pages[1].second, frame);
    auto* tabs = new QTabWidget(client);
    for (std::size_t p = 1; p < pages.size(); ++p) {
      auto* page = new QWidget;
      const std::size_t end = p + 1 < pages.size() ? pages[p + 1].second : controls.size();
      build_range(pages[p].second, end, page);
      page->setFixedSize(page_size(p));
      tabs->addTab(page, WithoutMnemonic(pages[p].first));
    }
    auto* v = new QVBoxLayout(client);
    v->setContentsMargins(4, 4, 4, 4);
    v->addWidget(frame);
    v->addWidget(tabs);
  } else if (def.w == 0 && def.h == 0) {
    // A stack of entries (the help choices): one button each, one under the other.
    auto* v = new QVBoxLayout(client);
    v->setContentsMargins(12, 12, 12, 12);
    for (auto& f : dialog_.fields) {
      auto* b = new QPushButton(Q(f->def->text), client);
      b->setAutoDefault(false);
      b->setMinimumWidth(du.Size(120, 14).width());
      const int index = f->index;
      connect(b, &QPushButton::clicked, this, [this, index] { PressField(index); });
      widgets_[index] = b;
      v->addWidget(b);
    }
  } else {
    client->setFixedSize(du.Size(def.w, def.h));
    build_range(0, controls.size(), client);
  }
  if (EqualsIgnoringCase(dialog_.name, "R7kProg")) AddProgress(client, du);
  ConnectLabels();
  // Group boxes stay behind the controls they frame.
  for (QGroupBox* g : findChildren<QGroupBox*>()) g->lower();
  Update(-1);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

// Below the status line of the main dialog: the running operation's progress and a Stop
// button that sends the cancel marker the operation's handler honours.
void DialogWindow::AddProgress(QWidget* client, const DialogUnits& du) {
  const ControlDef* status = nullptr;
  for (const auto& c : dialog_.def->controls)
    if (EqualsIgnoringCase(c.AttrOr(kAttrTag), "_Status")) status = &c;
  if (!status) return;
  ControlDef bar;
  bar.x = status->x;
  bar.y = status->y + status->h + 5;
  bar.w = 200;
  bar.h = 12;
  progress_ = new QProgressBar(client);
  progress_->setGeometry(du.Rect(bar));
  progress_->setTextVisible(true);
  progress_->setObjectName("progress");
  bar.x += bar.w + 4;
  bar.y -= 1;
  bar.w = 50;
  bar.h = 14;
  stop_ = new QPushButton("Stop", client);
  stop_->setAutoDefault(false);
  stop_->setObjectName("stop");
  stop_->setGeometry(du.Rect(bar));
  stop_->setToolTip("Stop the running module operation");
  connect(stop_, &QPushButton::clicked, this, [this] {
    CancelModuleOp();
    stop_->setEnabled(false);
  });
  progress_->hide();
  stop_->hide();
}

void DialogWindow::BuildControl(const ControlDef& c, QWidget* parent, int dx, int dy, Field* f) {
  const DialogUnits du(QApplication::font());
  const QRect rect = du.Rect(c, dx, dy);
  const bool fixed = HasStyle(c, "courier") || EqualsIgnoringCase(dialog_.def->font, "Courier");
  QWidget* w = nullptr;
  const int index = f ? f->index : -1;
  switch (c.kind) {
    case kKindButton: {
      auto* b = new QPushButton(Q(c.text), parent);
      b->setAutoDefault(false);
      b->setDefault(c.id == dialog_.def->default_id && c.id != 0);
      if (f) connect(b, &QPushButton::clicked, this, [this, index] { PressField(index); });
      w = b;
      break;
    }
    case kKindText:
      if (HasStyle(c, "multiline")) {
        auto* e = new QPlainTextEdit(parent);
        // Hexadecimal lines keep their length; a sentence ("wrap") breaks at the field's edge.
        e->setLineWrapMode(HasStyle(c, "wrap") ? QPlainTextEdit::WidgetWidth
                                               : QPlainTextEdit::NoWrap);
        if (fixed) e->setFont(fixed_);
        connect(e, &QPlainTextEdit::textChanged, this, [this, index] {
          if (!updating_) dirty_[index] = true;
        });
        e->installEventFilter(this);
        w = e;
      } else {
        auto* e = new QLineEdit(parent);
        UseFieldAccessible(e);
        if (fixed) e->setFont(fixed_);
        // Typed, or set by assistive technology (which neither types nor leaves the field):
        // a change the program did not make is the user's, handed over when the field is left
        // or at once when it never had the focus.
        connect(e, &QLineEdit::textChanged, this, [this, index, e] {
          if (updating_) return;
          dirty_[index] = true;
          QTimer::singleShot(0, this, [this, index, e] {
            if (!e->hasFocus() && !dialog_.ended) CommitEdit(*dialog_.fields[index]);
          });
        });
        connect(e, &QLineEdit::editingFinished, this, [this, index] {
          if (!dialog_.ended) CommitEdit(*dialog_.fields[index]);
        });
        // Files dropped on a field that takes them (the path field) go to the engine.
        if (f && f->drop) e->installEventFilter(this);
        w = e;
      }
      break;
    case kKindList: {
      auto* l = new QListWidget(parent);
      // Rows laid out in columns by a format need equal character widths.
      if (fixed || c.Attr(kAttrFormat)) l->setFont(fixed_);
      l->setSelectionMode(QAbstractItemView::SingleSelection);
      // The selection, however it was made (mouse, keys, or assistive technology, which
      // selects without moving the current row), is the row chosen.
      connect(l, &QListWidget::itemSelectionChanged, this, [this, index, l] {
        if (updating_ || dialog_.ended) return;
        const auto selected = l->selectionModel()->selectedRows();
        const int row = selected.isEmpty() ? -1 : selected.front().row();
        if (row == DlgListSelection(*dialog_.fields[index])) return;
        CommitEdits();
        // Refused (a dialog above this one is open): the list shows the engine's row again.
        if (!DlgUserSelectRow(dialog_, index, row)) Update(index);
      });
      connect(l, &QListWidget::itemDoubleClicked, this, [this] {
        CommitEdits();
        if (!dialog_.ended) DlgUserEnter(dialog_);
      });
      w = l;
      break;
    }
    case kKindCheck: {
      auto* b = new QCheckBox(Q(c.text), parent);
      // Toggled by a click, the keyboard or assistive technology (whose toggle clicks nothing).
      if (f)
        connect(b, &QCheckBox::toggled, this, [this, index](bool checked) {
          if (!updating_ && !dialog_.ended && checked != DlgIsChecked(*dialog_.fields[index]))
            PressField(index);
        });
      w = b;
      break;
    }
    case kKindGroup: w = new QGroupBox(WithoutMnemonic(c.text), parent); break;
    case kKindIcon: {
      auto* l = new QLabel(parent);
      const int side =
          std::min(rect.width(), rect.height()) > 0 ? std::max(rect.width(), rect.height()) : 32;
      if (EqualsIgnoringCase(c.text, "R7K_ICON") || c.text.empty())
        l->setPixmap(QPixmap::fromImage(AppIconImage(std::max(side, 32))));
      else
        l->setPixmap(
            style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(std::max(side, 32)));
      w = l;
      break;
    }
    case kKindCustom: {
      if (c.AttrOr(kAttrCallback).find("BitmapFld") != std::string::npos) {
        auto* b = new PictureButton(parent, f);
        b->setAutoDefault(false);
        if (f) connect(b, &QPushButton::clicked, this, [this, index] { PressField(index); });
        w = b;
      } else {
        auto* frame = new PictureFrame(parent);
        frame->setFrameShape(QFrame::Panel);
        frame->setFrameShadow(QFrame::Sunken);
        w = frame;
      }
      break;
    }
    default: {
      auto* l = new QLabel(WithoutMnemonic(c.text), parent);
      if (fixed || HasStyle(c, "courier")) l->setFont(fixed_);
      if (HasStyle(c, "right")) l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (HasStyle(c, "center")) l->setAlignment(Qt::AlignCenter);
      l->setWordWrap(c.h > 14);
      if (c.id > 0) labels_by_id_[c.id] = l;
      w = l;
      break;
    }
  }
  w->setGeometry(rect);
  if (const std::string* tip = c.Attr(kAttrTooltip)) w->setToolTip(Q(*tip));
  w->setObjectName(Q(f && !f->tag.empty() ? f->tag : std::to_string(c.id)));
  if (auto* l = qobject_cast<QLabel*>(w); l && c.kind == kKindLabel) labels_[&c] = l;
  if (!f) return;
  widgets_[index] = w;
  // A screen reader says "Name, edit", not "edit": the field's name is its label's text.
  w->setAccessibleName(Q(DlgAccessibleName(*f)));
}

void DialogWindow::ConnectLabels() {
  for (auto& f : dialog_.fields) {
    const ControlDef* label = DlgFieldLabel(*f);
    auto it = label ? labels_.find(label) : labels_.end();
    if (it != labels_.end()) it->second->setBuddy(WidgetOf(f->index));
  }
}

void DialogWindow::CommitEdit(Field& f) {
  if (!dirty_[f.index]) return;
  dirty_[f.index] = false;
  QWidget* w = WidgetOf(f.index);
  std::string text;
  if (auto* e = qobject_cast<QLineEdit*>(w))
    text = S(e->text());
  else if (auto* e = qobject_cast<QPlainTextEdit*>(w))
    text = S(e->toPlainText());
  else
    return;
  if (text == f.text) return;
  if (!DlgUserSetField(dialog_, f.index, text)) {
    QApplication::beep();
    UpdateField(f);  // the value the engine keeps
  }
}

void DialogWindow::UpdateField(Field& f) {
  QWidget* w = WidgetOf(f.index);
  if (!w) return;
  updating_ = true;
  const bool visible = f.state != FieldState::kInvisible && f.def->w > 0 && f.def->h > 0;
  const bool stack_entry = dialog_.def->w == 0 && dialog_.def->h == 0;
  w->setVisible(visible || stack_entry);
  w->setEnabled(f.state != FieldState::kGreyed);
  // A greyed field says why where the user looks (its tooltip, which is also what assistive
  // technology reads as its description).
  const std::string why = DlgGreyedReason(f);
  w->setToolTip(Q(why.empty() ? f.def->AttrOr(kAttrTooltip) : why));
  const bool read_only = f.state == FieldState::kReadOnly;
  if (const std::string* label = f.def->Attr(kAttrLabel)) {
    auto it = labels_by_id_.find(std::atoi(label->c_str()));
    if (it != labels_by_id_.end()) it->second->setVisible(f.state != FieldState::kInvisible);
  }
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    e->setReadOnly(read_only);
    if (!dirty_[f.index] && S(e->text()) != f.text) {
      e->setText(Q(f.text));
      // A path being edited shows its end; a value to read shows its beginning.
      if (read_only) e->setCursorPosition(0);
    }
  } else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
    e->setReadOnly(read_only);
    if (!dirty_[f.index] && S(e->toPlainText()) != f.text) e->setPlainText(Q(f.text));
  } else if (auto* b = qobject_cast<QCheckBox*>(w)) {
    b->setChecked(DlgIsChecked(f));
  } else if (auto* l = qobject_cast<QListWidget*>(w)) {
    auto lines = DlgListLines(f);
    if (rows_shown_[f.index] != lines) {
      l->clear();
      for (const auto& line : lines) l->addItem(Q(line));
      rows_shown_[f.index] = std::move(lines);
    }
    const int selection = DlgListSelection(f);
    if (l->currentRow() != selection) l->setCurrentRow(selection);
  } else if (auto* l = qobject_cast<QLabel*>(w); l && f.def->kind == kKindLabel) {
    l->setText(Q(f.tag.empty() ? f.def->text : f.text));
  }
  updating_ = false;
}

}  // namespace r7k
