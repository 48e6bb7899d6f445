#pragma once

#include <QStringView>

#include <array>
#include <cstdint>

// The answer sheet of the paper: 34 slots in booklet order. Slot k is tab k - 1 of the answer
// sheet, with choices 1 to n(k); its key is the set of choices that must be ticked, exactly.
namespace exam {

inline constexpr int SlotCount = 34;
inline constexpr int MaxChoices = 7;
inline constexpr int FullMarks = 200;

// A set of choices: bit i - 1 stands for choice i.
using ChoiceSet = std::uint8_t;

constexpr ChoiceSet choice(int i)
{
    return ChoiceSet(1u << (i - 1));
}

struct Slot
{
    const char16_t *caption; // tab caption on the answer sheet
    int choices;             // n(k)
    ChoiceSet key;
    int points;
    int largeQuestion; // 1 to 4
};

inline constexpr std::array<Slot, SlotCount> Slots = {{
    {u"1-問1-ｱ", 5, choice(1), 2, 1},
    {u"1-問1-ｲ", 5, choice(3), 2, 1},
    {u"1-問1-ｳ", 5, choice(5), 2, 1},
    {u"1-問1-ｴ", 5, choice(4), 2, 1},
    {u"1-問1-ｵ", 5, choice(3), 2, 1},
    {u"1-問2", 5, choice(3), 7, 1},
    {u"1-問3", 5, choice(4), 7, 1},
    {u"1-問4", 5, choice(1), 7, 1},
    {u"1-問5", 5, choice(5), 7, 1},
    {u"1-問6", 6, choice(1) | choice(6), 12, 1},
    {u"2-問1-ｱ", 5, choice(2), 4, 2},
    {u"2-問1-ｲ", 5, choice(5), 4, 2},
    {u"2-問1-ｳ", 5, choice(3), 4, 2},
    {u"2-問2", 5, choice(4), 7, 2},
    {u"2-問3", 6, choice(2), 7, 2},
    {u"2-問4", 5, choice(5), 8, 2},
    {u"2-問5", 5, choice(3), 8, 2},
    {u"2-問6", 5, choice(4), 8, 2},
    {u"3-問1-ｱ", 5, choice(5), 5, 3},
    {u"3-問1-ｲ", 5, choice(5), 5, 3},
    {u"3-問1-ｳ", 5, choice(2), 5, 3},
    {u"3-問2", 5, choice(5), 6, 3},
    {u"3-問3", 5, choice(1), 7, 3},
    {u"3-問4", 5, choice(4), 7, 3},
    {u"3-問5", 6, choice(3), 7, 3},
    {u"3-問6", 5, choice(2), 8, 3},
    {u"4-問1-ｱ", 6, choice(5), 3, 4},
    {u"4-問1-ｲ", 6, choice(1), 3, 4},
    {u"4-問2-A", 6, choice(3), 5, 4},
    {u"4-問2-B", 6, choice(6), 5, 4},
    {u"4-問3", 7, choice(2) | choice(4), 7, 4},
    {u"4-問4", 6, choice(3), 7, 4},
    {u"4-問5", 6, choice(2), 8, 4},
    {u"4-問6", 6, choice(1) | choice(5), 12, 4},
}};

// Slot k, counted from 1 as the sheet counts them.
constexpr const Slot &slot(int k)
{
    return Slots[std::size_t(k - 1)];
}

inline QStringView slotCaption(int k)
{
    return QStringView(slot(k).caption);
}

namespace detail {
constexpr bool keysFitChoices()
{
    for (const Slot &s : Slots) {
        if (s.key == 0 || s.key >= (1u << s.choices) || s.choices > MaxChoices)
            return false;
    }
    return true;
}
constexpr int pointsOfLargeQuestion(int largeQuestion)
{
    int sum = 0;
    for (const Slot &s : Slots)
        sum += s.largeQuestion == largeQuestion ? s.points : 0;
    return sum;
}
} // namespace detail

static_assert(detail::keysFitChoices(), "every key names choices the slot offers");
static_assert(detail::pointsOfLargeQuestion(1) == 50 && detail::pointsOfLargeQuestion(2) == 50
                  && detail::pointsOfLargeQuestion(3) == 50
                  && detail::pointsOfLargeQuestion(4) == 50,
              "each large question is worth 50 points");

} // namespace exam
