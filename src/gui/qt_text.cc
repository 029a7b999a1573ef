#include "gui/qt_text.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>

#include "engine/dialog_def.h"

namespace r7k {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) { return text.toUtf8().toStdString(); }

QString WithoutMnemonic(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] != '&') continue;
    out.push_back(text[i]);
  }
  return Q(out);
}

DialogUnits::DialogUnits(const QFont& font) {
  QFontMetricsF m(font);
  const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  x = m.horizontalAdvance(letters) / letters.size() / 4.0;
  y = m.height() / 8.0;
}

QRect DialogUnits::Rect(const ControlDef& c, int dx, int dy) const {
  return QRect(static_cast<int>((c.x + dx) * x + 0.5), static_cast<int>((c.y + dy) * y + 0.5),
               static_cast<int>(c.w * x + 0.5), static_cast<int>(c.h * y + 0.5));
}

QFont FixedFont() {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPointSizeF(QApplication::font().pointSizeF());
  return f;
}

}  // namespace r7k
