#include "platform/fonts.h"

#include "platform/twips.h"

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
}

QFont designFont(double points, bool bold, Face face)
{
    QFont font(familyName(face));
    font.setPixelSize(twips::pointsToPixels(points));
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    // The faces carry their own hinting for small sizes, which draws the regular weight crisp and
    // rasterises its glyphs faster than the auto-hinter. Not for bold: emboldened and fully
    // hinted, each glyph grows a pixel wider and some captions would no longer fit their boxes.
    if (!bold)
        font.setHintingPreference(QFont::PreferFullHinting);
    // The faces hold every character of code page 932, all the program ever shows, so no other
    // font is needed; looking up fallback fonts was a good part of start-up.
    font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

} // namespace platform
