#include "gui/field_accessible.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLineEdit>
#include <QVariant>

namespace r7k {
namespace {

constexpr char kProperty[] = "r7kField";

class FieldAccessible : public QAccessibleWidget,
                        public QAccessibleTextInterface,
                        public QAccessibleEditableTextInterface {
 public:
  explicit FieldAccessible(QLineEdit* edit) : QAccessibleWidget(edit, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
      return Edit()->isReadOnly() ? nullptr : static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = Edit()->isReadOnly();
    state.editable = !state.readOnly;
    state.selectableText = true;
    return state;
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return Edit()->text();
    return QAccessibleWidget::text(t);
  }

  void setText(QAccessible::Text t, const QString& text) override {
    if (t != QAccessible::Value) return QAccessibleWidget::setText(t, text);
    if (!Edit()->isReadOnly()) Edit()->setText(text);
  }

  // --- text ---
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || !Edit()->hasSelectedText()) return;
    *start = Edit()->selectionStart();
    *end = *start + static_cast<int>(Edit()->selectedText().size());
  }
  int selectionCount() const override { return Edit()->hasSelectedText() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int index) override {
    if (index == 0) Edit()->deselect();
  }
  void setSelection(int index, int start, int end) override {
    if (index == 0) Edit()->setSelection(start, end - start);
  }
  int cursorPosition() const override { return Edit()->cursorPosition(); }
  void setCursorPosition(int position) override { Edit()->setCursorPosition(position); }
  QString text(int start, int end) const override { return Edit()->text().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Edit()->text().size()); }
  QRect characterRect(int offset) const override {
    const QLineEdit* e = Edit();
    const QFontMetrics metrics(e->font());
    const QRect inside = e->contentsRect();
    const int x = inside.left() + metrics.horizontalAdvance(e->text().left(offset));
    const int width =
        offset < e->text().size() ? metrics.horizontalAdvance(e->text().at(offset)) : 1;
    return QRect(e->mapToGlobal(QPoint(x, inside.top())), QSize(width, inside.height()));
  }
  int offsetAtPoint(const QPoint& point) const override {
    return Edit()->cursorPositionAt(Edit()->mapFromGlobal(point));
  }
  void scrollToSubstring(int start, int end) override {
    Edit()->setCursorPosition(end);
    Edit()->setCursorPosition(start);
  }
  QString attributes(int offset, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    (void)offset;
    return {};
  }

  // --- editable text: offered only while the field may be edited ---
  void deleteText(int start, int end) override { replaceText(start, end, QString()); }
  void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
  void replaceText(int start, int end, const QString& text) override {
    if (Edit()->isReadOnly()) return;
    QString value = Edit()->text();
    value.replace(start, end - start, text);
    Edit()->setText(value);
  }

 private:
  QLineEdit* Edit() const { return static_cast<QLineEdit*>(widget()); }
};

QAccessibleInterface* FieldFactory(const QString& class_name, QObject* object) {
  if (class_name != QLatin1String("QLineEdit") || !object || !object->property(kProperty).toBool())
    return nullptr;
  return new FieldAccessible(static_cast<QLineEdit*>(object));
}

}  // namespace

void UseFieldAccessible(QWidget* line_edit) {
  static const bool installed = [] {
    QAccessible::installFactory(FieldFactory);
    return true;
  }();
  (void)installed;
  line_edit->setProperty(kProperty, true);
}

}  // namespace r7k
