#include "platform/rtfreader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// What the reader promises for any input; a broken promise is reported as a crash.
void require(bool holds, const char *promise)
{
    if (!holds) {
        std::fprintf(stderr, "rtf::read broke its promise: %s\n", promise);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const rtf::Document doc = rtf::read(QByteArrayView(data, qsizetype(size)));
    const QString text = doc.toPlainText();
    require(text.isValidUtf16(), "the text is valid UTF-16");
    for (const rtf::Paragraph &paragraph : doc.paragraphs) {
        for (const rtf::Run &run : paragraph) {
            require(!run.text.isEmpty(), "no run is empty");
            require(run.format.halfPoints > 0 && run.format.halfPoints <= 3276,
                    "font sizes stay between 0.5 and 1638 points");
        }
    }
    for (const QString &name : doc.fontNames)
        require(!name.isEmpty() && name == name.trimmed(), "font names are trimmed and not empty");
    return 0;
}
