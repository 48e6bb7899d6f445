#pragma once

#include <QRect>

// The window designs measure in twips: 1/1440 inch, 15 to a pixel at 96 dots per inch.
namespace twips {

constexpr int toPixels(int twips)
{
    return twips >= 0 ? (twips + 7) / 15 : -((-twips + 7) / 15);
}

constexpr QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

// Design point sizes become pixel sizes, so captions fit their boxes whatever the screen's DPI.
constexpr int pointsToPixels(double points)
{
    return static_cast<int>(points * 96.0 / 72.0 + 0.5);
}

} // namespace twips
