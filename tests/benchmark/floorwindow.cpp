// The benchmark's two floors, each a window of the program's client size in a process that links
// nothing but Qt Widgets, so that the libraries the program links are counted in its own figures:
//
//   kokugo-bench-window text [IDLE_MS]    one line of Japanese text in the program's face, with
//                                         the program's own font substitutions
//   kokugo-bench-window empty [IDLE_MS]   an empty main window
//
// As the benchmark's own children do, it prints "shown" and its peak memory once the window is
// exposed and, given IDLE_MS, the CPU seconds it used over that many milliseconds.

#include "benchmark/childreport.h"
#include "platform/fonts.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    const bool text = argc >= 2 && std::strcmp(argv[1], "text") == 0;
    if (argc < 2 || (!text && std::strcmp(argv[1], "empty") != 0)) {
        std::fputs("usage: kokugo-bench-window text|empty [IDLE_MS]\n", stderr);
        return 2;
    }
    const int idleMsecs = argc >= 3 ? std::atoi(argv[2]) : 0;
    QApplication app(argc, argv);
    QMainWindow window;
    if (text) {
        platform::installFontSubstitutions();
        auto *line
            = new QLabel(QStringLiteral("問題 （国語Ⅰ・Ⅱ）　次の文章を読んで、後の問いに答えよ。"));
        line->setFont(platform::designFont(9));
        line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        window.setCentralWidget(line);
    } else {
        window.setCentralWidget(new QWidget);
    }
    window.resize(bench::ClientWidth, bench::ClientHeight);
    window.show();
    bench::reportShown(&window);
    return bench::reportIdle(idleMsecs);
}
