#pragma once

// Small helpers every part of the Qt view shares: text between the engine's UTF-8 and Qt,
// mnemonics on labels, the templates' dialog units and the fixed-pitch font.

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <string_view>

namespace r7k {

struct ControlDef;

QString Q(std::string_view text);
std::string S(const QString& text);

// "&Upload" shows as "Upload" on a label (which has no buddy to give the mnemonic to).
QString WithoutMnemonic(const std::string& text);

// Dialog units: a quarter of the font's average character width across, an eighth of its height
// down, as the templates were laid out.
struct DialogUnits {
  double x = 1.5, y = 1.625;
  explicit DialogUnits(const QFont& font);
  QRect Rect(const ControlDef& c, int dx = 0, int dy = 0) const;
  QSize Size(int w, int h) const {
    return QSize(static_cast<int>(w * x + 0.5), static_cast<int>(h * y + 0.5));
  }
};

// The system's fixed-pitch font at the application font's size.
QFont FixedFont();

}  // namespace r7k
