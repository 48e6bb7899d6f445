#include "platform/checkboxes.h"

#include <QCheckBox>
#include <QEvent>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double luminance(const QColor &colour)
{
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
        + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

constexpr double Visible = 3.3; // 3:1 with room for the style's shading
// Below this the frame counts as dark: white stands over 4.5:1 against it.
constexpr double DarkLuminance = 0.18;

void colourBoxes(QWidget *frame)
{
    const QColor around = frame->palette().color(frame->backgroundRole());
    // The frame's colours, which reach a box only after the frame has heard of a change.
    const bool dark = luminance(around) < DarkLuminance
        && contrast(frame->palette().color(QPalette::Base), around) < Visible;
    for (QCheckBox *box : frame->findChildren<QCheckBox *>(Qt::FindDirectChildrenOnly)) {
        if (box->testAttribute(Qt::WA_SetPalette))
            box->setPalette(QPalette()); // back to the theme's, which may have changed
        if (!dark)
            continue;
        // The frame's own colour, taken towards white until it shows.
        QColor fill = around;
        for (int percent = 10; contrast(fill, around) < Visible && percent <= 100; percent += 5) {
            fill = QColor::fromRgbF(float(around.redF() + (1 - around.redF()) * percent / 100),
                                    float(around.greenF() + (1 - around.greenF()) * percent / 100),
                                    float(around.blueF() + (1 - around.blueF()) * percent / 100));
        }
        QPalette colours = box->palette();
        colours.setColor(QPalette::Base, fill);
        colours.setColor(QPalette::Text,
                         contrast(fill, Qt::black) >= contrast(fill, Qt::white) ? Qt::black
                                                                                : Qt::white);
        box->setPalette(colours);
    }
}

class FrameColours : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange)
            colourBoxes(static_cast<QWidget *>(watched));
        return false;
    }
};

} // namespace

void keepCheckBoxesVisible(QWidget *frame)
{
    colourBoxes(frame);
    frame->installEventFilter(new FrameColours(frame));
}

} // namespace platform
