#include "platform/rtfreader.h"

namespace rtf {

QString Document::toPlainText() const
{
    QStringList lines;
    lines.reserve(paragraphs.size());
    for (const Paragraph &paragraph : paragraphs) {
        QString line;
        for (const Run &run : paragraph)
            line += run.text;
        lines.append(line);
    }
    return lines.join(u'\n');
}

Document read(QByteArrayView)
{
    return {};
}

} // namespace rtf
