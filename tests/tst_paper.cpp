#include "exam/answerkey.h"
#include "platform/rtfreader.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <utility>

using namespace exam;

namespace {

rtf::Document document(const QString &name)
{
    QFile file(QStringLiteral(":/data/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return rtf::read(file.readAll());
}

int fullWidthNumber(QStringView digits)
{
    int value = 0;
    for (QChar c : digits)
        value = value * 10 + (c.unicode() - u'０');
    return value;
}

// One answer-sheet slot as the booklet sets it: an item of a question, or a whole question.
struct Unit
{
    int largeQuestion = 0;
    int question = 0;
    QString item; // "ア" … "オ", "Ａ", "Ｂ", or empty
    QString stem; // the question's text before its items and choices, then the item's own line
    int points = 0;
    QList<int> choices;      // the circled numbers, in the order printed
    QStringList choiceTexts; // each choice's text, its continuation lines joined

    QString caption() const
    {
        static const QString fullItems = QStringLiteral("アイウエオＡＢ");
        static const QString sheetItems = QStringLiteral("ｱｲｳｴｵAB");
        QString text = QStringLiteral("%1-問%2").arg(largeQuestion).arg(question);
        if (!item.isEmpty())
            text += u'-' + sheetItems.at(fullItems.indexOf(item));
        return text;
    }
};

struct Booklet
{
    QList<Unit> units;
    QStringList problems;
    QList<int> headers; // large questions whose header line carries （配点　５０）
};

Booklet parseBooklet(const QString &text)
{
    static const QRegularExpression header(QStringLiteral("^第([１-４])問"));
    static const QRegularExpression question(QStringLiteral("^問([１-９])\u3000"));
    static const QRegularExpression item(QStringLiteral("^（([ア-オＡＢ])）\u3000"));
    static const QRegularExpression choice(QStringLiteral("^\u3000([①-⑨])\u3000"));
    static const QRegularExpression points(QStringLiteral("（各?([０-９]+)点）"));

    Booklet booklet;
    int largeQuestion = 0;
    int questionNumber = 0;
    QString stem;
    bool inStem = false;
    bool inChoice = false;
    const QStringList lines = text.split(u'\n');
    for (const QString &line : lines) {
        const auto headerMatch = header.match(line);
        const auto questionMatch = question.match(line);
        const auto itemMatch = item.match(line);
        const auto choiceMatch = choice.match(line);
        // A choice too long for one line goes on indented by three ideographic spaces.
        const bool continuesChoice = std::exchange(inChoice, false)
            && line.startsWith(QStringLiteral("\u3000\u3000\u3000"));
        if (headerMatch.hasMatch()) {
            largeQuestion = fullWidthNumber(headerMatch.captured(1));
            questionNumber = 0;
            inStem = false;
            if (line.contains(QStringLiteral("（配点\u3000５０）")))
                booklet.headers << largeQuestion;
        } else if (questionMatch.hasMatch()) {
            questionNumber = fullWidthNumber(questionMatch.captured(1));
            stem = line;
            inStem = true;
        } else if (itemMatch.hasMatch() && questionNumber > 0) {
            inStem = false;
            booklet.units.append({largeQuestion,
                                  questionNumber,
                                  itemMatch.captured(1),
                                  stem + u'\n' + line,
                                  0,
                                  {},
                                  {}});
        } else if (choiceMatch.hasMatch() && questionNumber > 0) {
            if (inStem) {
                booklet.units.append({largeQuestion, questionNumber, QString(), stem, 0, {}, {}});
                inStem = false;
            }
            booklet.units.last().choices << choiceMatch.captured(1).at(0).unicode() - u'①' + 1;
            booklet.units.last().choiceTexts << line.mid(choiceMatch.capturedEnd());
            inChoice = true;
        } else if (continuesChoice) {
            booklet.units.last().choiceTexts.last() += line.trimmed();
            inChoice = true;
        } else if (inStem) {
            stem += line;
        }
    }
    for (Unit &unit : booklet.units) {
        const auto m = points.match(unit.stem);
        unit.points = m.hasMatch() ? fullWidthNumber(m.captured(1)) : 0;
    }
    return booklet;
}

// The chance that ticking the choices a strategy rates highest, as many as the key holds, ticks
// exactly the key, when ties are broken at random.
double chanceOfKey(const QList<double> &scores, ChoiceSet key)
{
    QList<double> order = scores;
    std::ranges::sort(order, std::greater());
    const int wanted = std::popcount(key);
    const double edge = order.at(wanted - 1); // the last score that is sure to be ticked
    int tied = 0, tiedInKey = 0;
    for (int i = 0; i < scores.size(); ++i) {
        const bool inKey = key & choice(i + 1);
        if (scores[i] == edge) {
            ++tied;
            tiedInKey += inKey;
        } else if ((scores[i] > edge) != inKey) {
            return 0; // a sure tick outside the key, or a key choice never ticked
        }
    }
    // The ticks left go to tiedInKey of the tied choices: one way out of (tied choose tiedInKey).
    double ways = 1;
    for (int i = 0; i < tiedInKey; ++i)
        ways = ways * (tied - i) / (i + 1);
    return 1 / ways;
}

// What a reader who skips the passage can see of a choice: its characters, without spaces and
// punctuation.
QString surface(const QString &text)
{
    static const QString ignored = QStringLiteral("、。「」『』（）・―…");
    QString letters;
    for (QChar c : text) {
        if (!c.isSpace() && !ignored.contains(c))
            letters += c;
    }
    return letters;
}

// The distinct characters (n = 1) or character pairs (n = 2) of a text.
QSet<QString> grams(const QString &letters, int n)
{
    QSet<QString> set;
    for (qsizetype i = 0; i + n <= letters.size(); ++i)
        set.insert(letters.mid(i, n));
    return set;
}

qsizetype shared(const QSet<QString> &a, const QSet<QString> &b)
{
    return std::ranges::count_if(a, [&](const QString &g) { return b.contains(g); });
}

// Rates every choice of one slot, for a strategy that looks at nothing but the printed words.
using Strategy = std::function<QList<double>(const Unit &unit)>;

QList<double> lengths(const Unit &unit)
{
    QList<double> result;
    for (const QString &text : unit.choiceTexts)
        result << double(surface(text).size());
    return result;
}

// Nearest to a length chosen from the slot's own lengths: the r-th longest, the median.
Strategy nearestLength(std::function<double(QList<double> sortedDown)> target)
{
    return [target](const Unit &unit) {
        QList<double> scores = lengths(unit);
        QList<double> sorted = scores;
        std::ranges::sort(sorted, std::greater());
        const double wanted = target(sorted);
        for (double &score : scores)
            score = -std::abs(score - wanted);
        return scores;
    };
}

// How much of its wording a choice shares with its siblings (stem = false) or with the stem.
Strategy overlap(int n, bool withStem, int sign)
{
    return [=](const Unit &unit) {
        QList<QSet<QString>> sets;
        for (const QString &text : unit.choiceTexts)
            sets << grams(surface(text), n);
        const QSet<QString> stem = grams(surface(unit.stem), n);
        QList<double> scores;
        for (qsizetype i = 0; i < sets.size(); ++i) {
            double sum = 0;
            if (withStem) {
                sum = double(shared(sets[i], stem));
            } else {
                for (qsizetype j = 0; j < sets.size(); ++j)
                    sum += j == i ? 0 : double(shared(sets[i], sets[j]));
            }
            scores << sign * sum;
        }
        return scores;
    };
}

// Width in half-width cells, as the booklet's fixed-pitch face lays it out.
int cells(const QString &line)
{
    int width = 0;
    for (QChar c : line)
        width += (c.unicode() < 0x80 || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F)) ? 1 : 2;
    return width;
}

} // namespace

// The booklet and the answer sheet must agree: a question whose choices do not match the sheet,
// or whose key names a choice the booklet does not offer, cannot be marked fairly.
class TestPaper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everySlotHasItsQuestion_data();
    void everySlotHasItsQuestion();
    void twoAnswerQuestions();
    void largeQuestionHeaders();
    void bookletLinesFitThePane();
    void markedPassagesExist_data();
    void markedPassagesExist();
    void noBlindStrategyPays();

private:
    QString m_booklet;
    Booklet m_parsed;
};

void TestPaper::initTestCase()
{
    m_booklet = document(QStringLiteral("booklet.rtf")).toPlainText();
    QVERIFY(!m_booklet.isEmpty());
    m_parsed = parseBooklet(m_booklet);
    QCOMPARE(m_parsed.units.size(), SlotCount);
}

void TestPaper::everySlotHasItsQuestion_data()
{
    QTest::addColumn<int>("k");
    for (int k = 1; k <= SlotCount; ++k)
        QTest::addRow("slot_%d", k) << k;
}

void TestPaper::everySlotHasItsQuestion()
{
    QFETCH(int, k);
    const Unit &unit = m_parsed.units.at(k - 1);
    QCOMPARE(unit.caption(), slotCaption(k));
    QCOMPARE(unit.largeQuestion, slot(k).largeQuestion);
    QList<int> expected;
    for (int i = 1; i <= slot(k).choices; ++i)
        expected << i;
    QCOMPARE(unit.choices, expected);
    QVERIFY(slot(k).key < (1u << unit.choices.size()));
    QCOMPARE(unit.points, slot(k).points);
}

void TestPaper::twoAnswerQuestions()
{
    QList<int> twoAnswers;
    for (int k = 1; k <= SlotCount; ++k) {
        if (m_parsed.units.at(k - 1).stem.contains(QStringLiteral("二つ選べ")))
            twoAnswers << k;
    }
    QCOMPARE(twoAnswers, (QList<int> {10, 31, 34}));
}

void TestPaper::largeQuestionHeaders()
{
    QCOMPARE(m_parsed.headers, (QList<int> {1, 2, 3, 4}));
}

// The booklet pane keeps the document's line breaks and scrolls sideways, so lines are kept
// short enough to read without scrolling.
void TestPaper::bookletLinesFitThePane()
{
    const QStringList lines = m_booklet.split(u'\n');
    for (const QString &line : lines)
        QVERIFY2(cells(line) <= 92, qPrintable(line));
}

void TestPaper::markedPassagesExist_data()
{
    QTest::addColumn<int>("largeQuestion");
    for (int q = 1; q <= 4; ++q)
        QTest::addRow("large_question_%d", q) << q;
}

// Every passage mark the booklet refers to stands exactly once in its passage, its label right
// before the underlined part, and nothing else is underlined.
void TestPaper::markedPassagesExist()
{
    QFETCH(int, largeQuestion);
    const rtf::Document text = document(QStringLiteral("passage%1.rtf").arg(largeQuestion));
    QVERIFY(text.toPlainText().size() > 300);
    static const QRegularExpression reference(QStringLiteral("傍線部([Ａ-Ｚ])"));
    QSet<QString> marks;
    for (const Unit &unit : std::as_const(m_parsed.units)) {
        if (unit.largeQuestion != largeQuestion)
            continue;
        if (unit.question == 1 && !unit.item.isEmpty())
            marks << QStringLiteral("（%1）").arg(unit.item);
        else if (!unit.item.isEmpty())
            marks << unit.item;
        for (const auto &m : reference.globalMatch(unit.stem))
            marks << m.captured(1);
    }
    QVERIFY(marks.size() >= 3);

    QHash<QString, int> labelled;
    int underlines = 0;
    for (const rtf::Paragraph &paragraph : text.paragraphs) {
        for (qsizetype i = 0; i < paragraph.size(); ++i) {
            if (!paragraph[i].format.underline || (i > 0 && paragraph[i - 1].format.underline))
                continue;
            ++underlines;
            for (const QString &mark : std::as_const(marks)) {
                if (i > 0 && paragraph[i - 1].text.endsWith(mark))
                    ++labelled[mark];
            }
        }
    }
    for (const QString &mark : std::as_const(marks))
        QVERIFY2(labelled.value(mark) == 1, qPrintable(mark));
    QCOMPARE(underlines, marks.size());
}

// A student who never reads a passage must not pass on a habit: a choice picked for its length
// (in any rank), for how much of its wording it shares with its siblings or with the stem, or for
// its number (the two it rates highest where two are wanted, ties broken at random). Each expects
// at most a quarter of the paper, and the key holds the longest choice about as often as chance
// would have it, so that ruling the longest out does not pay either.
void TestPaper::noBlindStrategyPays()
{
    const auto rank = [](int r) {
        return [r](const QList<double> &sorted) {
            return sorted.at(std::min<qsizetype>(r, sorted.size()) - 1);
        };
    };
    const auto bottom = [](int r) {
        return [r](const QList<double> &sorted) {
            return sorted.at(std::max<qsizetype>(sorted.size() - r, 0));
        };
    };
    const auto extreme = [](bool avoidLongest, bool avoidShortest) {
        return [=](const Unit &unit) {
            QList<double> scores = lengths(unit);
            const auto [low, high] = std::ranges::minmax(scores);
            for (double &score : scores)
                score = (avoidLongest && score == high) || (avoidShortest && score == low) ? -1 : 0;
            return scores;
        };
    };
    QList<std::pair<QString, Strategy>> strategies {
        {QStringLiteral("longest"), lengths},
        {QStringLiteral("shortest"),
         [](const Unit &unit) {
             QList<double> scores = lengths(unit);
             for (double &score : scores)
                 score = -score;
             return scores;
         }},
        {QStringLiteral("median length"), nearestLength([](const QList<double> &sorted) {
             const qsizetype n = sorted.size();
             return (sorted.at((n - 1) / 2) + sorted.at(n / 2)) / 2;
         })},
        {QStringLiteral("any but the longest"), extreme(true, false)},
        {QStringLiteral("any but the shortest"), extreme(false, true)},
        {QStringLiteral("neither longest nor shortest"), extreme(true, true)},
        {QStringLiteral("most characters shared with siblings"), overlap(1, false, 1)},
        {QStringLiteral("fewest characters shared with siblings"), overlap(1, false, -1)},
        {QStringLiteral("most pairs shared with siblings"), overlap(2, false, 1)},
        {QStringLiteral("fewest pairs shared with siblings"), overlap(2, false, -1)},
        {QStringLiteral("most characters shared with the stem"), overlap(1, true, 1)},
        {QStringLiteral("fewest characters shared with the stem"), overlap(1, true, -1)},
        {QStringLiteral("most pairs shared with the stem"), overlap(2, true, 1)},
        {QStringLiteral("fewest pairs shared with the stem"), overlap(2, true, -1)},
    };
    for (int r = 2; r <= MaxChoices - 1; ++r) {
        strategies.append({QStringLiteral("longest no. %1").arg(r), nearestLength(rank(r))});
        strategies.append({QStringLiteral("shortest no. %1").arg(r), nearestLength(bottom(r))});
    }
    QList<double> expected(strategies.size(), 0);
    QList<double> positions(MaxChoices, 0); // always ①, always ②, …
    int keyLongest = 0;
    double chanceLongest = 0;
    for (int k = 1; k <= SlotCount; ++k) {
        const Unit &unit = m_parsed.units.at(k - 1);
        QCOMPARE(unit.choiceTexts.size(), unit.choices.size());
        const Slot &s = slot(k);
        for (qsizetype i = 0; i < strategies.size(); ++i)
            expected[i] += s.points * chanceOfKey(strategies[i].second(unit), s.key);
        for (int position = 1; position <= MaxChoices; ++position)
            positions[position - 1] += s.key == choice(position) ? s.points : 0;
        const QList<double> sizes = lengths(unit);
        const double longest = std::ranges::max(sizes);
        for (qsizetype i = 0; i < sizes.size(); ++i)
            keyLongest += sizes[i] == longest && (s.key & choice(int(i) + 1)) ? 1 : 0;
        chanceLongest += double(std::popcount(s.key)) / sizes.size();
    }
    QStringList figures;
    for (qsizetype i = 0; i < strategies.size(); ++i) {
        figures << strategies[i].first + u' ' + QString::number(expected[i], 'f', 2);
    }
    for (int position = 1; position <= MaxChoices; ++position) {
        figures << QChar(u'①' + position - 1) + u' ' + QString::number(positions[position - 1]);
        expected << positions[position - 1];
    }
    qInfo("Expected points of blind strategies: %s", qPrintable(figures.join(u", ")));
    qInfo("The key holds the longest choice in %d slots, %.1f by chance", keyLongest,
          chanceLongest);
    for (qsizetype i = 0; i < figures.size(); ++i)
        QVERIFY2(expected[i] <= 50, qPrintable(figures[i]));
    QVERIFY(std::abs(keyLongest - chanceLongest) <= 3);
}

QTEST_APPLESS_MAIN(TestPaper)
#include "tst_paper.moc"
