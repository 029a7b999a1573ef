#pragma once

// What assistive technology sees of a one-line text field. Qt's own view of a line edit calls
// it editable and lets a screen reader rewrite it even when it is read-only; a field that only
// shows a value (the selected entry, the status line) must be read-only to assistive
// technology as it is to the keyboard. The name stays the field's label (its accessible name).

class QWidget;

namespace r7k {

// Marks the line edit as one of the program's fields: from now on assistive technology sees it
// through the program's own interface. Installs that interface's factory the first time.
void UseFieldAccessible(QWidget* line_edit);

}  // namespace r7k
