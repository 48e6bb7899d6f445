#pragma once

#include <QLabel>

namespace platform {

// A caption label. With auto-size on, the label keeps its left edge and height and takes the
// width of its caption, as the score label must so that it never overlaps the unit after it.
class Label : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    void setAutoSize(bool on);
    bool autoSize() const { return m_autoSize; }

    void setCaption(const QString &caption);
    QString caption() const { return text(); }

    // What a screen reader calls the label; it speaks the caption after it ("残り時間 1:20").
    void setSpokenName(const QString &name);

    // Words that only frame another label's value, which that label's spoken name already says
    // ("あと … 分" around the remaining time): screen readers pass over them.
    void setLayoutOnly(bool on) { m_layoutOnly = on; }
    bool isLayoutOnly() const { return m_layoutOnly; }

    // Colours the design fixes, kept whatever the desktop theme: with a back colour the label is
    // opaque. A label without them follows the theme.
    void setBackColor(const QColor &color);
    void setForeColor(const QColor &color);

private:
    void fitToCaption();
    void updateAccessibleName();

    bool m_autoSize = false;
    bool m_layoutOnly = false;
    int m_designWidth = 0;
    QString m_spokenName;
};

} // namespace platform
