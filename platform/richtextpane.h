#pragma once

#include <QPlainTextEdit>

namespace platform {

// A read-only pane showing one RTF document (code page 932) embedded in the program. The document
// is read the first time the pane is shown, so hidden tabs cost nothing at start-up, and only the
// lines in view are laid out, so even the long booklet opens at once.
class RichTextPane : public QPlainTextEdit
{
    Q_OBJECT

public:
    enum class ScrollBars { Vertical, Both };

    RichTextPane(const QString &resource, ScrollBars scrollBars, QWidget *parent = nullptr);

    QString resource() const { return m_resource; }
    bool isLoaded() const { return m_loaded; }
    void load();
    // Lays out the lines in view within `part` of the pane and draws them into a picture that is
    // thrown away, so that they and their characters' shapes are ready before the pane is shown.
    void drawOffScreen(const QRect &part);

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void keepToTheEnd();
    void drawBetweenTheLines(const QRect &area);

    QString m_resource;
    bool m_loaded = false;
    bool m_formatted = false;    // laid out with gaps between the lines, and underlines drawn
    bool m_rangePending = false; // the scroll range not yet kept to the end of the text
};

} // namespace platform
