#include "platform/fonts.h"

#include "platform/twips.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <system_error>

namespace platform {

QString familyName(Face face)
{
    return face == Face::Gothic ? QStringLiteral("ＭＳ ゴシック")
                                : QStringLiteral("ＭＳ Ｐゴシック");
}

void installFontSubstitutions()
{
    const QString gothic = QStringLiteral("IPAGothic");
    const QString pgothic = QStringLiteral("IPAPGothic");
    QFont::insertSubstitution(familyName(Face::Gothic), gothic);
    QFont::insertSubstitution(familyName(Face::PGothic), pgothic);
    QFont::insertSubstitution(QStringLiteral("MS Gothic"), gothic);
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), pgothic);
    // The default font is the Gothic face too: the toolkit lays out each text pane's first, empty
    // document in it, and another face would be loaded for that alone.
    QGuiApplication::setFont(designFont(9));
}

FontListReader::FontListReader()
{
    // Without a thread of its own, the list is read at the first font, as it always was.
    try {
        m_thread = std::thread([] { QFontDatabase::families(); });
    } catch (const std::system_error &) { }
}

FontListReader::~FontListReader()
{
    if (m_thread.joinable())
        m_thread.join();
}

QFont designFont(double points, bool bold, Face face)
{
    QFont font(familyName(face));
    font.setPixelSize(twips::pointsToPixels(points));
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    // Fitted to the pixel grid vertically only, whatever the desktop's setting: fully hinted, the
    // faces lose strokes thinner than half a pixel, and "_" draws nothing at 12 and 16 pixels.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    // The faces hold every character of code page 932, all the program ever shows, so no other
    // font is needed; looking up fallback fonts was a good part of start-up. Nor is the shaper:
    // in these faces each character is one glyph, and text laid out without it draws the same.
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::PreferNoShaping));
    return font;
}

} // namespace platform
