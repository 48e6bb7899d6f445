#include "reference/referencewindows.h"

#include "platform/controls.h"
#include "platform/fonts.h"
#include "platform/label.h"
#include "platform/preparer.h"
#include "platform/richtextpane.h"
#include "platform/twips.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRgb>
#include <QWidget>

#include <array>
#include <optional>

namespace reference {

namespace {

// Both kinds of window have a client area of 11880 x 8595 twips; the pane reaches 60 twips
// below it (and 15 past the right edge), so that it fills the client area edge to edge.
constexpr int ClientWidth = 11880;
constexpr int ClientHeight = 8595;
constexpr int PaneWidth = 11895;
constexpr int PaneBottom = 8655;

struct Caption
{
    const char16_t *text;
    std::optional<QRgb> background; // none: the toolkit's default label background
    int left, top, width;
};

struct PassLineWindow
{
    Caption headline;
    Caption comment;
    int paneTop;
};

constexpr QRgb WindowPink = qRgb(255, 128, 128);
// Captions on the colours of the design.
constexpr QRgb Ink = qRgb(0, 0, 0);

constexpr std::array<PassLineWindow, PassLineWindowCount> PassLineWindows = {{
    {{u" 合格率 ９９％", qRgb(255, 0, 0), 4680, 120, 2535},
     {u" あなたはカンニングの天才です・・・ バレなければ一流大学９９％合格です。", WindowPink, 1440,
      720, 9135},
     1200},
    {{u" 合格率 ８０％", qRgb(255, 192, 128), 4680, 240, 2535},
     {u" 一流大学までもう少しです。 一生懸命お祈りしましょう。", WindowPink, 2520, 840, 6975},
     1320},
    {{u" 合格率 ５０％", qRgb(255, 255, 128), 4680, 120, 2535},
     {u" 四流大学にリーチ。 合コン生活までもう少しです。", WindowPink, 2880, 720, 6255},
     1200},
    {{u" 合格率 １０％", qRgb(128, 255, 128), 4680, 240, 2535},
     {u" 浪人生活にリーチです。 機械の故障に期待しましょう。", WindowPink, 2640, 840, 6735},
     1320},
    {{u" 合格率 ０％", qRgb(128, 255, 255), 4800, 120, 2295},
     {u" 受験料がもったいないです。 親に迷惑をかけるのはやめましょう。", WindowPink, 1920, 720,
      7935},
     1200},
    {{u" 計測不能", qRgb(128, 128, 255), 5040, 120, 1815},
     {u" 裏口入学も無理です。 大学生になるには自分で経営しましょう。", std::nullopt, 2040, 720,
      7695},
     1200},
}};

constexpr int HeadlineHeight = 375;
constexpr int CommentHeight = 255;

QWidget *createWindow(const QString &caption, QRgb background)
{
    auto *window = new QWidget;
    window->setWindowTitle(caption);
    window->setFont(platform::designFont(9, true));
    window->resize(twips::toPixels(ClientWidth), twips::toPixels(ClientHeight));
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(background));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    return window;
}

constexpr char HelpDocument[] = ":/data/help.rtf";
constexpr char PassLineDocument[] = ":/data/passlines.rtf";
constexpr double HeadlinePoints = 15.75;
constexpr double CommentPoints = 12;

QRect paneGeometry(int top)
{
    return twips::rect(0, top, PaneWidth, PaneBottom - top);
}

void addPane(QWidget *window, const char *resource, const QString &spokenName, int top)
{
    auto *pane = new platform::RichTextPane(QString::fromLatin1(resource),
                                            platform::RichTextPane::ScrollBars::Vertical, window);
    platform::setDesignName(pane, QStringLiteral("RichTextBox1"));
    pane->setAccessibleName(spokenName);
    pane->setGeometry(paneGeometry(top));
    // The window's own colour stays out of the pane's frame and scroll bar, which keep the theme's.
    QPalette colours = pane->palette();
    colours.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Window));
    pane->setPalette(colours);
}

void addCaption(QWidget *window, const QString &name, const Caption &caption, double points,
                int height)
{
    auto *label = new platform::Label(QString::fromUtf16(caption.text), window);
    platform::setDesignName(label, name);
    label->setGeometry(twips::rect(caption.left, caption.top, caption.width, height));
    label->setFont(platform::designFont(points, true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    if (caption.background) {
        label->setBackColor(QColor::fromRgb(*caption.background));
        label->setForeColor(QColor::fromRgb(Ink));
    } else {
        // The toolkit's button face, in the theme's colours.
        label->setAutoFillBackground(true);
        label->setBackgroundRole(QPalette::Button);
        label->setForegroundRole(QPalette::ButtonText);
    }
}

} // namespace

QString helpWindowName()
{
    return QStringLiteral("frmヘルプ");
}

QWidget *createHelpWindow()
{
    QWidget *window = createWindow(QStringLiteral("バージョン情報"), qRgb(0, 128, 128));
    window->setObjectName(helpWindowName());
    addPane(window, HelpDocument, QStringLiteral("ソフトの説明"), 0);
    return window;
}

QString passLineWindowName(int window)
{
    return QStringLiteral("frm合格ライン") + QString::number(window);
}

QWidget *createPassLineWindow(int number)
{
    Q_ASSERT(number >= 1 && number <= PassLineWindowCount);
    const PassLineWindow &design = PassLineWindows[std::size_t(number - 1)];
    QWidget *window = createWindow(QStringLiteral("合格ライン"), WindowPink);
    window->setObjectName(passLineWindowName(number));
    // In tab order: the pane, then the headline and the comment.
    addPane(window, PassLineDocument, QStringLiteral("合格ライン一覧"), design.paneTop);
    addCaption(window, QStringLiteral("Label1"), design.headline, HeadlinePoints, HeadlineHeight);
    addCaption(window, QStringLiteral("Label2"), design.comment, CommentPoints, CommentHeight);
    return window;
}

void prepareAhead(platform::Preparer *preparer)
{
    platform::prepareDocument(preparer, QString::fromLatin1(PassLineDocument),
                              paneGeometry(PassLineWindows[0].paneTop));
    preparer->add([] {
        // The format of a window's backing store, so that the same cache of glyphs serves both.
        QImage picture(twips::toPixels(ClientWidth), twips::toPixels(HeadlineHeight),
                       QImage::Format_RGB32);
        QPainter painter(&picture);
        for (const PassLineWindow &design : PassLineWindows) {
            painter.setFont(platform::designFont(HeadlinePoints, true));
            painter.drawText(picture.rect(), QString::fromUtf16(design.headline.text));
            painter.setFont(platform::designFont(CommentPoints, true));
            painter.drawText(picture.rect(), QString::fromUtf16(design.comment.text));
        }
    });
    platform::prepareDocument(preparer, QString::fromLatin1(HelpDocument), paneGeometry(0));
}

} // namespace reference
