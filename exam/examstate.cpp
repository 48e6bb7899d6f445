#include "exam/examstate.h"

#include <QList>

namespace exam {

namespace {

constexpr QByteArrayView Header = "kokugo-mogi exam state 1";
constexpr QByteArrayView TicksWord = "ticks";
constexpr QByteArrayView Stopped = "clock stopped";
constexpr QByteArrayView StartedWord = "clock started ";
// The year 9999 in milliseconds since the epoch: a later start is not a time this program wrote.
constexpr qint64 LatestStart = 253402300799999;

QByteArray encodeTicks(int k, ChoiceSet ticks)
{
    QByteArray word;
    for (int i = 1; i <= slot(k).choices; ++i) {
        if (ticks & choice(i))
            word += char('0' + i);
    }
    return word.isEmpty() ? QByteArrayLiteral("-") : word;
}

// The ticks of slot k from its word: choices in rising order, each one the slot offers.
std::optional<ChoiceSet> decodeTicks(int k, QByteArrayView word)
{
    if (word == "-")
        return ChoiceSet(0);
    if (word.isEmpty())
        return std::nullopt;
    ChoiceSet ticks = 0;
    int last = 0;
    for (const char c : word) {
        const int i = c - '0';
        if (i <= last || i > slot(k).choices)
            return std::nullopt;
        ticks |= choice(i);
        last = i;
    }
    return ticks;
}

// Plain decimal digits without a sign or a leading zero.
std::optional<qint64> decodeTime(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 15 || (digits.size() > 1 && digits.front() == '0'))
        return std::nullopt;
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > LatestStart)
        return std::nullopt;
    return value;
}

} // namespace

QByteArray encodeExam(const SavedExam &exam)
{
    QByteArray data = Header.toByteArray() + '\n' + TicksWord.toByteArray();
    for (int k = 1; k <= SlotCount; ++k)
        data += ' ' + encodeTicks(k, exam.ticks[std::size_t(k - 1)]);
    data += '\n';
    if (exam.startedAt)
        data += StartedWord.toByteArray() + QByteArray::number(*exam.startedAt);
    else
        data += Stopped.toByteArray();
    return data + '\n';
}

std::optional<SavedExam> decodeExam(const QByteArray &data)
{
    if (data.size() > MaxSavedExamSize || !data.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = data.chopped(1).split('\n');
    if (lines.size() != 3 || lines[0] != Header)
        return std::nullopt;

    SavedExam exam;
    const QList<QByteArray> words = lines[1].split(' ');
    if (words.size() != SlotCount + 1 || words[0] != TicksWord)
        return std::nullopt;
    for (int k = 1; k <= SlotCount; ++k) {
        const std::optional<ChoiceSet> ticks = decodeTicks(k, words[k]);
        if (!ticks)
            return std::nullopt;
        exam.ticks[std::size_t(k - 1)] = *ticks;
    }

    if (lines[2] != Stopped) {
        if (!lines[2].startsWith(StartedWord))
            return std::nullopt;
        exam.startedAt = decodeTime(lines[2].sliced(StartedWord.size()));
        if (!exam.startedAt)
            return std::nullopt;
    }
    return exam;
}

} // namespace exam
