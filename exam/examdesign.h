#pragma once

#include "exam/answerkey.h"

#include <QRgb>

#include <array>

// The exam window's design: every control's place and look, in twips (15 to a pixel) relative to
// its container, and its design-time state. The window is built from these tables.
namespace exam::design {

struct Rect
{
    int left, top, width, height;
};

inline constexpr char16_t WindowName[] = u"frm国語ⅠⅡ";
inline constexpr char16_t WindowCaption[] = u"問題 （国語Ⅰ・Ⅱ）";
inline constexpr int ClientWidth = 11880;
inline constexpr int ClientHeight = 8310;
inline constexpr char BackgroundPicture[] = ":/data/background.raw";
inline constexpr char MarkPicture[] = ":/data/maru.raw";

inline constexpr QRgb Pink = qRgb(255, 128, 255);
inline constexpr QRgb Yellow = qRgb(255, 255, 0);
// Captions on the colours above and on the background picture.
inline constexpr QRgb Ink = qRgb(0, 0, 0);

enum class Kind { Button, Label };
enum class Align { Left, Centre, Right };

struct Control
{
    const char16_t *name;
    Kind kind;
    Rect rect;
    const char16_t *caption;
    double points; // "ＭＳ ゴシック", bold
    bool opaque;   // labels: pink background, else transparent
    Align align;
};

// The left column, in creation order: later controls lie in front of earlier ones, so the
// remaining time and the score sit on top of the pink boxes that frame them.
inline constexpr std::array<Control, 8> LeftColumn = {{
    {u"cmdスタート", Kind::Button, {360, 840, 1215, 495}, u"スタート", 9, false, Align::Centre},
    {u"Label1", Kind::Label, {120, 1560, 1695, 375}, u"あと 　　　分", 12, true, Align::Centre},
    {u"lbl秒", Kind::Label, {720, 1560, 735, 375}, u"", 14.25, true, Align::Centre},
    {u"cmd得点", Kind::Button, {360, 3240, 1215, 495}, u"得　点", 9, false, Align::Centre},
    {u"Label4", Kind::Label, {0, 3960, 1935, 255}, u"（平均 112,92 点）", 9, false, Align::Centre},
    {u"Label2", Kind::Label, {240, 4320, 1335, 375}, u"点", 14.25, true, Align::Right},
    {u"lbl得点", Kind::Label, {675, 4320, 210, 315}, u"", 15.75, true, Align::Centre},
    {u"cmd合格率", Kind::Button, {360, 6000, 1215, 495}, u"合格率", 9.75, false, Align::Centre},
}};

inline constexpr char16_t MultimediaName[] = u"MMControl1";
inline constexpr Rect MultimediaRect = {0, 7920, 3540, 375};
inline constexpr char16_t TimerName[] = u"tmr時間";
inline constexpr int TimerInterval = 1000; // milliseconds

inline constexpr int TabRowHeight = 295;

// The reading pane.
inline constexpr char16_t ReadingName[] = u"SSTab1";
inline constexpr Rect ReadingRect = {1920, 0, 9975, 6015};
inline constexpr int ReadingTabsPerRow = 5;

struct Document
{
    const char16_t *caption;
    const char16_t *pane;
    Rect rect; // in the page, measured from the tab control's top-left corner
    const char *resource;
    bool horizontalScrollBar;
};

// The pane names do not follow the tab order: the Chinese text is RichTextBox3.
inline constexpr std::array<Document, 5> Documents = {{
    {u"問題", u"RichTextBox1", {120, 360, 9855, 5535}, ":/data/booklet.rtf", true},
    {u"文章１", u"RichTextBox2", {240, 480, 9615, 5295}, ":/data/passage1.rtf", false},
    {u"文章２", u"RichTextBox4", {240, 480, 9615, 5295}, ":/data/passage2.rtf", false},
    {u"文章３", u"RichTextBox5", {240, 480, 9615, 5295}, ":/data/passage3.rtf", false},
    {u"漢文", u"RichTextBox3", {240, 480, 9615, 5295}, ":/data/passage4.rtf", false},
}};

// The answer sheet: one tab per slot, twelve to a row.
inline constexpr char16_t SheetName[] = u"SSTab2";
inline constexpr Rect SheetRect = {1920, 6120, 10155, 2295};
inline constexpr int SheetTabsPerRow = 12;

inline constexpr char16_t FrameCaption[] = u"答え";
inline constexpr char16_t CheckBoxArray[] = u"chk国語"; // followed by the slot number
inline constexpr char16_t MarkArray[] = u"pctマル";
inline constexpr char16_t ChoiceCaptions[] = u"①②③④⑤⑥⑦";

struct SheetPage
{
    Rect frame;
    Rect mark;
    int firstBox;   // from the frame's left edge
    int boxSpacing; // from one box's left edge to the next
};

inline constexpr int BoxTop = 360;
inline constexpr int BoxWidth = 615;
inline constexpr int BoxHeight = 255;

constexpr SheetPage sheetPage(int k)
{
    const int choices = slot(k).choices;
    const Rect frame = k == 1 ? Rect {1560, 1080, 7695, 855} : Rect {1560, 1140, 7695, 855};
    const Rect mark = {600, k == 23 ? 1260 : 1380, 555, 555};
    // Wider spacing where there are fewer boxes, so every row spreads across its frame.
    const int spacing = choices == 5 ? 1440 : choices == 6 ? 1200 : 960;
    return {frame, mark, choices == 7 ? 600 : 840, spacing};
}

} // namespace exam::design
