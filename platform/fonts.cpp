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
    return font;
}

} // namespace platform
