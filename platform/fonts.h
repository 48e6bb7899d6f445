#pragma once

#include <QFont>

namespace platform {

// The designs ask for the Japanese Gothic faces "ＭＳ ゴシック" (fixed pitch) and "ＭＳ Ｐゴシック"
// (proportional). IPAGothic and IPAPGothic share their metrics, so every caption fits the box it
// was designed for. The fixed-pitch face in 9 pt becomes the application's default font.
void installFontSubstitutions();

enum class Face { Gothic, PGothic };

QString familyName(Face face);

// A design font: size in points as the design gives it, laid out at 96 dots per inch.
QFont designFont(double points, bool bold = false, Face face = Face::Gothic);

} // namespace platform
