#include "gui/picture_widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>

#include "app/custom_fields.h"
#include "engine/dialog_engine.h"

namespace r7k {

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

std::pair<QRect, QRect> PlaceNatural(QSize client, QSize picture) {
  const auto [source, target] =
      PlaceNatural(client.width(), client.height(), picture.width(), picture.height());
  return {QRect(source.x, source.y, source.w, source.h),
          QRect(target.x, target.y, target.w, target.h)};
}

void PictureButton::SetPicture(const FieldPicture& p) {
  image_ = ImageOf(p);
  update();
}

void PictureButton::keyPressEvent(QKeyEvent* event) {
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

void PictureButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  if (image_.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(rect().adjusted(3, 3, -3, -3), image_);
}

void PictureFrame::SetPicture(const FieldPicture& p) {
  picture_ = p;
  image_ = ImageOf(p);
  update();
}

void PictureFrame::paintEvent(QPaintEvent* event) {
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

}  // namespace r7k
