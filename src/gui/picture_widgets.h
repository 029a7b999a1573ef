#pragma once

// The widgets that show a field's picture: the bitmap button and the picture frame (a picture
// at its natural size, or a colour swatch).

#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <utility>

#include "engine/view.h"

namespace r7k {

struct Field;

// The picture as a Qt image; null when its pixels do not match its size.
QImage ImageOf(const FieldPicture& p);

// Where a picture shown at its natural size goes in a client area: the part of the picture
// drawn (its middle where the client is smaller) and where it lands (centred where larger).
std::pair<QRect, QRect> PlaceNatural(QSize client, QSize picture);

// A bitmap button: the button, then its picture stretched three pixels inside its edges.
// Ctrl+C copies the picture of its file; Ctrl+V, when the clipboard holds a picture, shows the
// field's value again (which reloads its file; the clipboard's picture is not taken over).
class PictureButton : public QPushButton {
 public:
  PictureButton(QWidget* parent, Field* field) : QPushButton(parent), field_(field) {}
  void SetPicture(const FieldPicture& p);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  Field* field_;
  QImage image_;
};

// A picture at its natural size (centred where the field is larger, its middle part where
// smaller) or a colour swatch.
class PictureFrame : public QFrame {
 public:
  explicit PictureFrame(QWidget* parent) : QFrame(parent) {}
  void SetPicture(const FieldPicture& p);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  FieldPicture picture_;
  QImage image_;
};

}  // namespace r7k
