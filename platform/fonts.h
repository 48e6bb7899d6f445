#pragma once

#include <QFont>

#include <thread>

namespace platform {

// The designs ask for the Japanese Gothic faces "ＭＳ ゴシック" (fixed pitch) and "ＭＳ Ｐゴシック"
// (proportional). IPAGothic and IPAPGothic share their metrics, so every caption fits the box it
// was designed for. The fixed-pitch face in 9 pt becomes the application's default font.
void installFontSubstitutions();

// Reads the system's list of fonts on another core while the caller builds its windows. The
// toolkit reads it at the first font a window needs, and the read is about a third of start-up;
// a lookup made meanwhile waits for it under the toolkit's own lock, so nothing is read twice.
// Made once the application object exists; waits for the read to end when destroyed.
class FontListReader
{
public:
    FontListReader();
    ~FontListReader();
    FontListReader(const FontListReader &) = delete;
    FontListReader &operator=(const FontListReader &) = delete;

private:
    std::thread m_thread;
};

enum class Face { Gothic, PGothic };

QString familyName(Face face);

// A design font: size in points as the design gives it, laid out at 96 dots per inch.
QFont designFont(double points, bool bold = false, Face face = Face::Gothic);

} // namespace platform
