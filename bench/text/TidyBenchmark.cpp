// Times the clean-up of about 1 MB of recognised text (cleanRecognizedText
// and the table check, as `quillsnap-cli tidy` runs them) against a trivial
// baseline over the same text, a split into lines and a join, so that the
// figure can be compared across machines as a ratio.
//
//   bench_tidy [SIZE] [RUNS]     SIZE in UTF-16 code units, default 1 Mi
//   bench_tidy --dump [SIZE]     prints the generated text instead

#include "capture/TextCleanup.h"
#include "capture/TextProcessingService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace {

// A small deterministic generator (xorshift), so every run and every
// machine benchmarks the same text.
class Random
{
public:
    quint32 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return static_cast<quint32>(m_state >> 32);
    }
    qsizetype below(qsizetype n) { return static_cast<qsizetype>(next() % quint32(n)); }
    template <typename T> const T& pick(const std::vector<T>& items)
    {
        return items.at(static_cast<size_t>(below(static_cast<qsizetype>(items.size()))));
    }

private:
    quint64 m_state = 0x9E3779B97F4A7C15ULL;
};

const std::vector<QString>& words()
{
    static const std::vector<QString> list = [] {
        std::vector<QString> w;
        const QString text = QStringLiteral(
            "the recognition of text in screenshots depends on contrast resolution and the "
            "typeface used by the application window toolbar sidebar preferences document "
            "paragraph however therefore according originally when settings clipboard history "
            "encrypted record keyboard shortcut sequence region capture selection interface "
            "naïve café résumé Größe straße déjà élève über Привет текст распознавание окно "
            "настройки");
        for (const QString& word : text.split(u' ')) {
            w.push_back(word);
        }
        return w;
    }();
    return list;
}

const std::vector<QString>& uiLines()
{
    static const std::vector<QString> list{
        QStringLiteral("• Item one"),
        QStringLiteral("› Settings"),
        QStringLiteral("▸ Advanced options"),
        QStringLiteral("⌘ Copy selection"),
        QStringLiteral("General v"),
        QStringLiteral("У Downloads"),
        QStringLiteral("≡ Menu"),
        QStringLiteral("-----"),
        QStringLiteral("12"),
        QStringLiteral("File  Edit  View  Window  Help"),
    };
    return list;
}

// Recognised text: prose paragraphs cut into screen lines of 55-80
// characters, some words hyphenated across lines, and runs of interface lines.
QString generateText(qsizetype targetSize)
{
    Random random;
    QString text;
    text.reserve(targetSize + 200);
    while (text.size() < targetSize) {
        if (random.below(4) == 0) {
            const qsizetype count = 2 + random.below(5);
            for (qsizetype i = 0; i < count; ++i) {
                text += random.pick(uiLines());
                text += u'\n';
            }
        } else {
            const qsizetype lineCount = 3 + random.below(8);
            QString carry; // the rest of a word hyphenated at the previous line end
            for (qsizetype l = 0; l < lineCount; ++l) {
                QString line = l == 0 ? QStringLiteral("The") : carry + random.pick(words());
                carry.clear();
                const qsizetype width = 55 + random.below(26);
                while (line.size() < width) {
                    line += u' ';
                    line += random.pick(words());
                }
                if (l + 1 < lineCount && random.below(6) == 0) {
                    const QString word = random.pick(words());
                    const qsizetype cut = word.size() / 2 + 1;
                    line += u' ' + word.left(cut) + u'-';
                    carry = word.mid(cut) + u' ';
                } else if (l + 1 == lineCount) {
                    line += u'.';
                }
                text += line;
                text += u'\n';
            }
        }
        text += u'\n';
    }
    return text;
}

double medianMs(int runs, const std::function<qsizetype()>& work, qsizetype& sink)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        sink += work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    const bool dump = args.size() > 1 && args.at(1) == QLatin1String("--dump");
    if (dump) {
        args.removeAt(1);
    }
    const qsizetype size = args.size() > 1 ? args.at(1).toLongLong() : 1024 * 1024;
    const int runs = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 9;

    const QString text = generateText(size);
    QTextStream out(stdout);
    if (dump) {
        out << text;
        return 0;
    }
    out << "input: " << text.toUtf8().size() << " bytes UTF-8, " << text.count(u'\n') << " lines, "
        << runs << " runs\n";

    qsizetype sink = 0;
    const double baseline = medianMs(
        runs, [&text] { return text.split(u'\n').join(u'\n').size(); }, sink);
    const double cleanup = medianMs(
        runs,
        [&text] {
            const QString cleaned = TextCleanup::cleanRecognizedText(text);
            return cleaned.size() + (TextProcessingService::isTableLike(cleaned) ? 1 : 0);
        },
        sink);
    const QString cleaned = TextCleanup::cleanRecognizedText(text);
    out << "output: " << cleaned.size() << " characters, " << cleaned.count(QStringLiteral("\n\n"))
        << " paragraph breaks\n";
    out << "baseline split/join: " << QString::number(baseline, 'f', 2) << " ms (median)\n";
    out << "cleanRecognizedText + isTableLike: " << QString::number(cleanup, 'f', 2)
        << " ms (median)\n";
    out << "ratio: " << QString::number(cleanup / baseline, 'f', 1) << "x baseline\n";
    return sink == 0 ? 1 : 0;
}
