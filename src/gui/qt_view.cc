#include "gui/qt_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "app/custom_fields.h"
#include "app/module_ops.h"
#include "gui/field_accessible.h"
#include "link/channel.h"
#include "store/item_store.h"
#include "support/ascii.h"

namespace r7k {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) { return text.toUtf8().toStdString(); }

// "&Upload" shows as "Upload" on a label (which has no buddy to give the mnemonic to).
QString WithoutMnemonic(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] != '&') continue;
    out.push_back(text[i]);
  }
  return Q(out);
}

bool HasStyle(const ControlDef& c, std::string_view word) {
  for (const auto& s : c.style)
    if (EqualsIgnoringCase(s, word)) return true;
  return false;
}

// Dialog units: a quarter of the font's average character width across, an eighth of its height
// down, as the templates were laid out.
struct DialogUnits {
  double x = 1.5, y = 1.625;
  explicit DialogUnits(const QFont& font) {
    QFontMetricsF m(font);
    const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    x = m.horizontalAdvance(letters) / letters.size() / 4.0;
    y = m.height() / 8.0;
  }
  QRect Rect(const ControlDef& c, int dx = 0, int dy = 0) const {
    return QRect(static_cast<int>((c.x + dx) * x + 0.5), static_cast<int>((c.y + dy) * y + 0.5),
                 static_cast<int>(c.w * x + 0.5), static_cast<int>(c.h * y + 0.5));
  }
  QSize Size(int w, int h) const {
    return QSize(static_cast<int>(w * x + 0.5), static_cast<int>(h * y + 0.5));
  }
};

QFont FixedFont() {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPointSizeF(QApplication::font().pointSizeF());
  return f;
}

QImage ImageOf(const FieldPicture& p) {
  if (p.width <= 0 || p.height <= 0 ||
      p.pixels.size() != static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height))
    return {};
  QImage image(p.width, p.height, QImage::Format_RGB32);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      image.setPixel(x, y, 0xFF000000u | p.pixels[static_cast<std::size_t>(y) * p.width + x]);
  return image;
}

// A bitmap button: the button, then its picture stretched three pixels inside its edges.
// Ctrl+C copies the picture of its file; Ctrl+V, when the clipboard holds a picture, shows the
// field's value again (which reloads its file; the clipboard's picture is not taken over).
class PictureButton : public QPushButton {
 public:
  PictureButton(QWidget* parent, Field* field) : QPushButton(parent), field_(field) {}
  void SetPicture(const FieldPicture& p) {
    image_ = ImageOf(p);
    update();
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    QPushButton::keyPressEvent(event);
    if (!field_ || !(event->modifiers() & Qt::ControlModifier)) return;
    // The field's value is the file name it keeps (message 23 of its procedure).
    char name[256] = "";
    if (field_->proc)
      field_->proc(field_, kMsgGetText, sizeof name - 1, reinterpret_cast<LParam>(name));
    const std::string file = name;
    if (event->key() == Qt::Key_C) {
      QApplication::clipboard()->clear();
      if (auto image = file.empty() ? std::nullopt : LoadButtonPicture(file))
        QApplication::clipboard()->setImage(ImageOf(ToFieldPicture(*image)));
    } else if (event->key() == Qt::Key_V && QApplication::clipboard()->mimeData()->hasImage()) {
      DlgSetField(field_, kThisField, file.c_str(), -1);
    }
  }

  void paintEvent(QPaintEvent* event) override {
    QPushButton::paintEvent(event);
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect().adjusted(3, 3, -3, -3), image_);
  }

 private:
  Field* field_;
  QImage image_;
};

// A picture at its natural size (centred where the field is larger, its middle part where
// smaller) or a colour swatch.
class PictureFrame : public QFrame {
 public:
  explicit PictureFrame(QWidget* parent) : QFrame(parent) {}
  void SetPicture(const FieldPicture& p) {
    picture_ = p;
    image_ = ImageOf(p);
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect client = contentsRect();
    if (picture_.fit == FieldPicture::Fit::kColour) {
      painter.fillRect(client, QColor::fromRgb(picture_.colour));
      return;
    }
    if (image_.isNull()) return;
    const QRect source = PlaceNatural(client.size(), image_.size()).first;
    const QRect target =
        PlaceNatural(client.size(), image_.size()).second.translated(client.topLeft());
    painter.drawImage(target, image_, source);
  }

 private:
  FieldPicture picture_;
  QImage image_;
};

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

std::pair<QRect, QRect> PlaceNatural(QSize client, QSize picture) {
  const auto [source, target] =
      PlaceNatural(client.width(), client.height(), picture.width(), picture.height());
  return {QRect(source.x, source.y, source.w, source.h),
          QRect(target.x, target.y, target.w, target.h)};
}

QImage AppIconImage(int size) {
  // A knitted swatch: rows of stitches in two colours on a rounded card.
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size / 32.0;
  p.setPen(QPen(QColor(40, 60, 110), 1.5 * s));
  p.setBrush(QColor(70, 110, 190));
  p.drawRoundedRect(QRectF(2 * s, 2 * s, 28 * s, 28 * s), 5 * s, 5 * s);
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      const bool light = (row + col) % 2 == 0;
      p.setPen(Qt::NoPen);
      p.setBrush(light ? QColor(250, 240, 200) : QColor(220, 70, 60));
      QPainterPath v;
      const double x = (6 + col * 5.2) * s, y = (6 + row * 5.2) * s;
      v.moveTo(x, y);
      v.lineTo(x + 2.3 * s, y + 4.6 * s);
      v.lineTo(x + 4.6 * s, y);
      v.lineTo(x + 2.3 * s, y + 2 * s);
      v.closeSubpath();
      p.drawPath(v);
    }
  }
  return image;
}

// One dialog on screen.
class DialogWindow : public QDialog {
 public:
  DialogWindow(QtView& view, Dialog& dialog, QWidget* parent)
      : QDialog(parent), view_(view), dialog_(dialog) {
    setWindowTitle(Q(dialog.caption));
    setAttribute(Qt::WA_DeleteOnClose, false);
    Build();
  }

  Dialog& dialog() { return dialog_; }
  QEventLoop* loop = nullptr;
  QtView::Steps steps;

  QWidget* WidgetOf(int index) const {
    auto it = widgets_.find(index);
    return it == widgets_.end() ? nullptr : it->second;
  }

  void Update(int index) {
    if (index < 0) {
      for (auto& f : dialog_.fields) UpdateField(*f);
      return;
    }
    if (static_cast<std::size_t>(index) < dialog_.fields.size())
      UpdateField(*dialog_.fields[index]);
  }

  // Hands typed but not yet committed texts to the engine (before a press, Enter, close).
  void CommitEdits() {
    for (auto& f : dialog_.fields) CommitEdit(*f);
  }

  void SetPicture(int index, const FieldPicture& picture) {
    QWidget* w = WidgetOf(index);
    if (auto* b = dynamic_cast<PictureButton*>(w)) b->SetPicture(picture);
    if (auto* f = dynamic_cast<PictureFrame*>(w)) f->SetPicture(picture);
  }

  void PressField(int index) {
    CommitEdits();
    // Refused (unavailable, or a dialog above this one is open): a check box shows the
    // engine's value again.
    if (!dialog_.ended && !DlgUserPress(dialog_, index)) Update(index);
  }

  // The focus starts in the first field the user can change; in a dialog that only shows
  // (About), on its default button.
  void FocusFirst() {
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

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (dialog_.ended) return;
    CommitEdits();
    DlgUserClose(dialog_);
  }

  void keyPressEvent(QKeyEvent* event) override {
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

  bool eventFilter(QObject* watched, QEvent* event) override {
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

 public:
  // The main dialog's progress of a module operation; hidden when none runs.
  void ShowProgress(const ModuleOpProgress& p) {
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
  QProgressBar* progress() const { return progress_; }
};

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

// --- GuiUser -----------------------------------------------------------------------------------

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

// --- QtView ------------------------------------------------------------------------------------

QtView::QtView() : alive_(std::make_shared<bool>(true)) {}

QtView::~QtView() { *alive_ = false; }

void QtView::WhenDialogOpens(std::string name, Steps steps) {
  pending_steps_.emplace_back(std::move(name), std::move(steps));
}

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
  opened_names_.push_back(dialog.name);
  auto* window = new DialogWindow(*this, dialog, ParentFor(dialog.owner));
  windows_[dialog.window] = window;
  if (open_hook_) open_hook_(windows_.size());
  for (auto it = pending_steps_.begin(); it != pending_steps_.end(); ++it) {
    if (EqualsIgnoringCase(it->first, dialog.name)) {
      window->steps = std::move(it->second);
      pending_steps_.erase(it);
      break;
    }
  }
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
  if (open_hook_) open_hook_(windows_.size());
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
  const bool second = (type & 0xF00) == kMbDefaultButton2;
  int answer = kIdOk;
  if (scripted_) {
    switch (type & 0xF) {
      case kMbOkCancel: answer = second ? kIdCancel : kIdOk; break;
      case 3:
      case kMbYesNo: answer = second ? kIdNo : kIdYes; break;
      default: answer = kIdOk;
    }
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    messages_.push_back({std::string(caption), std::string(text), type, answer});
    return answer;
  }
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
  box.setDefaultButton(buttons[second && buttons.size() > 1 ? 1 : 0].first);
  const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
  answer = buttons.back().second == kIdCancel ? kIdCancel : buttons[0].second;
  for (const auto& [b, id] : buttons)
    if (b == pressed) answer = id;
  messages_.push_back({std::string(caption), std::string(text), type, answer});
  return answer;
}

std::optional<std::string> QtView::ChooseFile(WindowHandle owner, const FileRequest& request) {
  if (scripted_) {
    if (files_.empty()) return std::nullopt;
    auto path = std::move(files_.front());
    files_.pop_front();
    return path;
  }
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
  if (QPrinterInfo::availablePrinters().isEmpty() || scripted_) {
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
  ++prints_;
  return true;
}

}  // namespace r7k
