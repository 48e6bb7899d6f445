#include "exam/examstate.h"

#include <QList>

#include <array>

namespace exam {

namespace {

constexpr QByteArrayView Header = "kokugo-mogi exam state 2";
constexpr QByteArrayView HeaderVersion1 = "kokugo-mogi exam state 1";
constexpr QByteArrayView MinutesWord = "minutes ";
constexpr QByteArrayView TicksWord = "ticks";
constexpr QByteArrayView Stopped = "clock stopped";
constexpr QByteArrayView StartedWord = "clock started ";
// The clock line's words after "clock", each followed by its value.
constexpr std::array<QByteArrayView, 5> ClockWords {"started", "elapsed", "ran", "saved", "boot"};
// The year 9999 in milliseconds since the epoch: a later time is not one this program wrote.
constexpr qint64 LatestTime = 253402300799999;
// A boot's identity is a short word of letters, digits and dashes.
constexpr qsizetype MaxBootSize = 64;

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
    if (value > LatestTime)
        return std::nullopt;
    return value;
}

std::optional<QByteArray> decodeBoot(QByteArrayView word)
{
    if (word == "-")
        return QByteArray();
    if (word.isEmpty() || word.size() > MaxBootSize)
        return std::nullopt;
    for (const char c : word) {
        if (!(c >= '0' && c <= '9') && !(c >= 'a' && c <= 'z') && c != '-')
            return std::nullopt;
    }
    return word.toByteArray();
}

QByteArray encodeClock(const ClockState &clock)
{
    const std::array<QByteArray, 5> values {
        QByteArray::number(clock.startedAt), QByteArray::number(clock.elapsedAtStart),
        QByteArray::number(clock.ran), QByteArray::number(clock.savedAt),
        clock.boot.isEmpty() ? QByteArrayLiteral("-") : clock.boot};
    QByteArray line = "clock";
    for (std::size_t i = 0; i < values.size(); ++i)
        line += ' ' + ClockWords[i].toByteArray() + ' ' + values[i];
    return line;
}

std::optional<ClockState> decodeClock(const QByteArray &line)
{
    const QList<QByteArray> words = line.split(' ');
    if (words.size() != 1 + 2 * qsizetype(ClockWords.size()) || words[0] != "clock")
        return std::nullopt;
    std::array<qint64, 4> times {};
    for (std::size_t i = 0; i < ClockWords.size(); ++i) {
        if (words[qsizetype(1 + 2 * i)] != ClockWords[i])
            return std::nullopt;
    }
    for (std::size_t i = 0; i < times.size(); ++i) {
        QByteArrayView value = words[qsizetype(2 + 2 * i)];
        // The elapsed clock at Start lies before this boot when a sitting taken up after a
        // reboot had already run longer than the machine has been on.
        const bool negative = i == 1 && value.startsWith('-');
        const std::optional<qint64> time = decodeTime(negative ? value.sliced(1) : value);
        if (!time || (negative && *time == 0))
            return std::nullopt;
        times[i] = negative ? -*time : *time;
    }
    const std::optional<QByteArray> boot = decodeBoot(words.last());
    if (!boot)
        return std::nullopt;
    return ClockState {times[0], times[1], times[2], times[3], *boot};
}

// "minutes 80": a length from 1 to the longest sitting.
std::optional<int> decodeMinutes(const QByteArray &line)
{
    if (!line.startsWith(MinutesWord))
        return std::nullopt;
    const std::optional<qint64> minutes
        = decodeTime(QByteArrayView(line).sliced(MinutesWord.size()));
    if (!minutes || *minutes < 1 || *minutes > ExamClock::MaxMinutes)
        return std::nullopt;
    return int(*minutes);
}

} // namespace

QByteArray encodeExam(const SavedExam &exam)
{
    QByteArray data = Header.toByteArray() + '\n' + MinutesWord.toByteArray()
        + QByteArray::number(exam.minutes) + '\n' + TicksWord.toByteArray();
    for (int k = 1; k <= SlotCount; ++k)
        data += ' ' + encodeTicks(k, exam.ticks[std::size_t(k - 1)]);
    data += '\n';
    data += exam.clock ? encodeClock(*exam.clock) : Stopped.toByteArray();
    return data + '\n';
}

std::optional<SavedExam> decodeExam(const QByteArray &data)
{
    if (data.size() > MaxSavedExamSize || !data.endsWith('\n'))
        return std::nullopt;
    QList<QByteArray> lines = data.chopped(1).split('\n');
    SavedExam exam;
    const bool version1 = lines.size() == 3 && lines[0] == HeaderVersion1;
    if (!version1) {
        if (lines.size() != 4 || lines[0] != Header)
            return std::nullopt;
        const std::optional<int> minutes = decodeMinutes(lines[1]);
        if (!minutes)
            return std::nullopt;
        exam.minutes = *minutes;
        lines.removeAt(1);
    }

    const QList<QByteArray> words = lines[1].split(' ');
    if (words.size() != SlotCount + 1 || words[0] != TicksWord)
        return std::nullopt;
    for (int k = 1; k <= SlotCount; ++k) {
        const std::optional<ChoiceSet> ticks = decodeTicks(k, words[k]);
        if (!ticks)
            return std::nullopt;
        exam.ticks[std::size_t(k - 1)] = *ticks;
    }

    if (lines[2] == Stopped)
        return exam;
    if (!version1) {
        exam.clock = decodeClock(lines[2]);
        return exam.clock ? std::optional(exam) : std::nullopt;
    }
    // Only the wall-clock time of Start: as if saved then, in a boot that cannot be known.
    if (!lines[2].startsWith(StartedWord))
        return std::nullopt;
    const std::optional<qint64> startedAt = decodeTime(lines[2].sliced(StartedWord.size()));
    if (!startedAt)
        return std::nullopt;
    exam.clock = ClockState {*startedAt, 0, 0, *startedAt, QByteArray()};
    return exam;
}

} // namespace exam
