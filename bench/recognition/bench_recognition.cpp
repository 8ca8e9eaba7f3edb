// Recognition benchmark: renders the synthetic corpus, recognises it with the
// warm engine and with the tesseract command-line tool (same languages), and
// reports latency, character error rate per category and memory.
//   bench_recognition [--corpus DIR] [--variants [--only TEXT]] [--no-cli] [--verbose]
//                     [--languages eng+fra+...] [--samples TEXT]
#include "Corpus.h"
#include "EditDistance.h"

#include "capture/ReadingOrder.h"
#include "capture/TesseractRecognizer.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double median(QList<double> values)
{
    if (values.isEmpty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString normalized(const QString& text)
{
    return text.normalized(QString::NormalizationForm_C).simplified();
}

// Word order ignored: tells reading-order differences from misread characters.
QString sortedWords(const QString& text)
{
    QStringList words = normalized(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    words.sort();
    return words.join(QLatin1Char(' '));
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return 0;
}

struct ChildRun
{
    QString output;
    double ms = 0;
    double cpuMs = 0; // user and system time of the child
    long maxRssKb = 0;
    bool ok = false;
};

// Runs a command with its stdout captured; wait4 gives the child's own peak RSS.
ChildRun runChild(const QStringList& args, bool singleThread)
{
    ChildRun run;
    int fds[2];
    if (pipe(fds) != 0) {
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    QList<QByteArray> argStore;
    for (const QString& a : args) {
        argStore.append(a.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& a : argStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    QList<QByteArray> envStore;
    for (char** e = environ; *e; ++e) {
        if (!QByteArray(*e).startsWith("OMP_THREAD_LIMIT=")) {
            envStore.append(QByteArray(*e));
        }
    }
    if (singleThread) {
        envStore.append(QByteArrayLiteral("OMP_THREAD_LIMIT=1"));
    }
    std::vector<char*> envp;
    for (QByteArray& e : envStore) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    QByteArray out;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, n);
    }
    close(fds[0]);
    if (spawned != 0) {
        return run;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.ms = timer.nsecsElapsed() / 1e6;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.maxRssKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.output = QString::fromUtf8(out);
    return run;
}

struct Tally
{
    qsizetype errors = 0;
    qsizetype wordErrors = 0;
    qsizetype length = 0;
    QList<double> ms;
    QList<double> cpuMs;

    void add(const QString& truth, const QString& text, double elapsed, double cpu)
    {
        cpuMs.append(cpu);
        errors += levenshtein(normalized(truth), normalized(text));
        wordErrors += levenshtein(sortedWords(truth), sortedWords(text));
        length += normalized(truth).size();
        ms.append(elapsed);
    }
    double cer() const { return length ? 100.0 * double(errors) / double(length) : 0; }
    double wordCer() const { return length ? 100.0 * double(wordErrors) / double(length) : 0; }
};

using Tallies = std::map<QString, Tally>;

// Processor time of the calling thread: steadier than the clock on a
// machine shared with other work (the engine runs on one thread).
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct OurRun
{
    Tallies tallies;
    QList<double> uiMs;
    QList<double> uiCpuMs;
    double loadMs = 0;
    long rssAfterLoadKb = 0;
};

const QString kUiSample = QStringLiteral("ui-dialog-800x300");
const QString kAll = QStringLiteral("all");

OurRun runOurs(const QList<CorpusSample>& corpus, const QMap<QString, QImage>& images,
               const TesseractRecognizer::Tuning& tuning, const QStringList& languages,
               bool verbose)
{
    OurRun result;
    TesseractRecognizer recognizer(QString(), languages);
    recognizer.setTuning(tuning);
    QElapsedTimer timer;
    timer.start();
    if (!recognizer.load()) {
        std::fprintf(stderr, "engine did not load\n");
        std::exit(1);
    }
    result.loadMs = timer.nsecsElapsed() / 1e6;
    result.rssAfterLoadKb = residentKb();

    for (const CorpusSample& sample : corpus) {
        const QImage& image = images.value(sample.name);
        const int repeats = sample.name == kUiSample ? 9 : 1;
        QString text;
        QList<double> times;
        QList<double> cpuTimes;
        for (int r = 0; r < repeats; ++r) {
            timer.restart();
            const double cpuStart = threadCpuMs();
            const auto observations = recognizer.recognize(image);
            text =
                observations
                    ? ReadingOrder::joinObservations(ReadingOrder::orderObservations(*observations))
                    : QString();
            cpuTimes.append(threadCpuMs() - cpuStart);
            times.append(timer.nsecsElapsed() / 1e6);
        }
        if (sample.name == kUiSample) {
            result.uiMs = times;
            result.uiCpuMs = cpuTimes;
        }
        const double ms = median(times);
        result.tallies[sample.category].add(sample.truth, text, ms, median(cpuTimes));
        result.tallies[kAll].add(sample.truth, text, ms, median(cpuTimes));
        if (verbose && qEnvironmentVariableIsSet("BENCH_DUMP")) {
            std::printf("--- %s\n%s\n---\n", qPrintable(sample.name), qPrintable(text));
        }
        if (verbose) {
            std::printf("  %-32s %7.1f ms %7.1f cpu ms  CER %5.1f%%\n", qPrintable(sample.name), ms,
                        median(cpuTimes),
                        100.0 * double(levenshtein(normalized(sample.truth), normalized(text))) /
                            double(normalized(sample.truth).size()));
        }
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    // The OpenMP runtime reads the limit only when the library loads.
    if (qEnvironmentVariableIsEmpty("OMP_THREAD_LIMIT")) {
        setenv("OMP_THREAD_LIMIT", "1", 1);
        execv("/proc/self/exe", argv);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("corpus"), QStringLiteral("Keep the corpus in DIR."),
                      QStringLiteral("DIR")});
    parser.addOption(
        {QStringLiteral("variants"), QStringLiteral("Compare preprocessing variants.")});
    parser.addOption({QStringLiteral("only"),
                      QStringLiteral("Compare only variants whose name contains TEXT."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("no-cli"), QStringLiteral("Skip the tesseract tool.")});
    parser.addOption({QStringLiteral("samples"),
                      QStringLiteral("Only the images whose name contains TEXT."),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("languages"),
                      QStringLiteral("Our engine's languages, such as eng+fra (the tool keeps "
                                     "the default list)."),
                      QStringLiteral("LIST")});
    parser.addOption({QStringLiteral("verbose"), QStringLiteral("Per-image figures.")});
    parser.addHelpOption();
    parser.process(app);

    QTemporaryDir temp;
    const QString dir = parser.isSet(QStringLiteral("corpus"))
                            ? parser.value(QStringLiteral("corpus"))
                            : temp.path();
    QDir().mkpath(dir);
    QList<CorpusSample> corpus = buildCorpus();
    corpus.removeIf([&](const CorpusSample& sample) {
        return !sample.name.contains(parser.value(QStringLiteral("samples")));
    });
    QMap<QString, QImage> images;
    for (const CorpusSample& sample : corpus) {
        const QString base = dir + QLatin1Char('/') + sample.name;
        sample.image.save(base + QStringLiteral(".png"));
        QFile truth(base + QStringLiteral(".txt"));
        if (truth.open(QIODevice::WriteOnly)) {
            truth.write(sample.truth.toUtf8());
        }
        // Read back, as a capture would be.
        images.insert(sample.name, QImage(base + QStringLiteral(".png")));
    }
    std::printf("corpus: %lld images in %s\n", qlonglong(corpus.size()), qPrintable(dir));
    const QStringList ourLanguages =
        parser.isSet(QStringLiteral("languages"))
            ? parser.value(QStringLiteral("languages")).split(QLatin1Char('+'))
            : TesseractRecognizer::defaultLanguages();

    if (parser.isSet(QStringLiteral("variants"))) {
        struct Variant
        {
            const char* name;
            TesseractRecognizer::Tuning tuning;
        };
        const TesseractRecognizer::Tuning base;
        auto with = [&](auto change) {
            TesseractRecognizer::Tuning t = base;
            change(t);
            return t;
        };
        const QList<Variant> variants = {
            {"chosen", base},
            {"former pipeline (2x, one engine, psm 3)", with([](auto& t) {
                 t.preparation.splitBySize = false;
                 t.preparation.xHeight = 0;
                 t.languagePerLine = false;
                 t.pageSegMode = 3;
                 t.columnGapFactor = 2.5;
             })},
            {"one engine with every language", with([](auto& t) { t.languagePerLine = false; })},
            {"no ink separation, 2x", with([](auto& t) { t.preparation.separateInk = false; })},
            {"no reduced copies", with([](auto& t) { t.preparation.splitBySize = false; })},
            {"fixed 2x instead of the x-height", with([](auto& t) { t.preparation.xHeight = 0; })},
            {"x-height 12", with([](auto& t) { t.preparation.xHeight = 12; })},
            {"x-height 16", with([](auto& t) { t.preparation.xHeight = 16; })},
            {"x-height 20", with([](auto& t) { t.preparation.xHeight = 20; })},
            {"large stroke 1.4", with([](auto& t) { t.preparation.largeStroke = 1.4; })},
            {"large stroke 2.0", with([](auto& t) { t.preparation.largeStroke = 2.0; })},
            {"window 3", with([](auto& t) { t.preparation.strokeWindow = 3; })},
            {"window 7", with([](auto& t) { t.preparation.strokeWindow = 7; })},
            {"global Otsu", with([](auto& t) { t.thresholdingMethod = 0; })},
            {"Sauvola", with([](auto& t) { t.thresholdingMethod = 2; })},
            {"no invert retry", with([](auto& t) { t.invertRetry = false; })},
            {"psm 3 (automatic layout)", with([](auto& t) { t.pageSegMode = 3; })},
            {"psm 11 (sparse)", with([](auto& t) { t.pageSegMode = 11; })},
            {"column gap 2.5 (former)", with([](auto& t) { t.columnGapFactor = 2.5; })},
        };
        QStringList categories{kAll};
        for (const CorpusSample& sample : corpus) {
            if (!categories.contains(sample.category)) {
                categories.append(sample.category);
            }
        }
        std::printf("\n%-44s", "variant");
        for (const QString& category : categories) {
            std::printf(" %8.8s", qPrintable(category));
        }
        std::printf(" %7s %7s %7s\n", "med cpu", "ui ms", "ui cpu");
        const QString only = parser.value(QStringLiteral("only"));
        for (const Variant& v : variants) {
            if (!QString::fromLatin1(v.name).contains(only)) {
                continue;
            }
            const OurRun run = runOurs(corpus, images, v.tuning, ourLanguages, false);
            std::printf("%-44.44s", v.name);
            for (const QString& category : categories) {
                std::printf(" %7.2f%%", run.tallies.at(category).cer());
            }
            std::printf(" %7.0f %7.0f %7.0f\n", median(run.tallies.at(kAll).cpuMs),
                        median(run.uiMs), median(run.uiCpuMs));
            std::fflush(stdout);
        }
        return 0;
    }

    const OurRun ours = runOurs(corpus, images, TesseractRecognizer::Tuning{}, ourLanguages,
                                parser.isSet(QStringLiteral("verbose")));
    rusage self{};
    getrusage(RUSAGE_SELF, &self);

    Tallies cli1;
    Tallies cliN;
    QList<double> uiCli1;
    QList<double> uiCliN;
    QList<double> uiCli1Cpu;
    long cliRssKb = 0;
    const bool withCli = !parser.isSet(QStringLiteral("no-cli"));
    const QString languages = TesseractRecognizer::defaultLanguages().join(QLatin1Char('+'));
    if (withCli) {
        for (const CorpusSample& sample : corpus) {
            const QString path = dir + QLatin1Char('/') + sample.name + QStringLiteral(".png");
            const QStringList args = {QStringLiteral("tesseract"), path, QStringLiteral("stdout"),
                                      QStringLiteral("-l"), languages};
            const int repeats = sample.name == kUiSample ? 3 : 1;
            for (bool single : {true, false}) {
                QList<double> times;
                QList<double> cpuTimes;
                ChildRun run;
                for (int r = 0; r < repeats; ++r) {
                    run = runChild(args, single);
                    if (!run.ok) {
                        std::fprintf(stderr, "tesseract failed on %s\n", qPrintable(path));
                    }
                    times.append(run.ms);
                    cpuTimes.append(run.cpuMs);
                    cliRssKb = std::max(cliRssKb, run.maxRssKb);
                }
                Tallies& t = single ? cli1 : cliN;
                t[sample.category].add(sample.truth, run.output, median(times), median(cpuTimes));
                t[kAll].add(sample.truth, run.output, median(times), median(cpuTimes));
                if (sample.name == kUiSample) {
                    (single ? uiCli1 : uiCliN) << times;
                    if (single) {
                        uiCli1Cpu << cpuTimes;
                    }
                }
            }
        }
    }

    std::printf("\nwarm engine: load %.0f ms, resident after load %.1f MB, peak RSS %.1f MB\n",
                ours.loadMs, ours.rssAfterLoadKb / 1024.0, self.ru_maxrss / 1024.0);
    if (withCli) {
        std::printf("tesseract CLI: peak RSS per run %.1f MB\n", cliRssKb / 1024.0);
    }
    std::printf("\n%-13s %3s | %8s %8s | %8s %8s %9s %8s | %8s %8s %8s | %11s %11s\n", "category",
                "n", "ours CER", "CLI CER", "ours ms", "CLI ms", "CLI ms", "speed-up", "ours cpu",
                "CLI cpu", "cpu", "ours CER*", "CLI CER*");
    std::printf("%-13s %3s | %8s %8s | %8s %8s %9s %8s | %8s %8s %8s | %11s %11s\n", "", "", "", "",
                "(median)", "(1 thr)", "(default)", "(1 thr)", "(ms)", "(1 thr)", "ratio",
                "(any order)", "(any order)");
    for (const auto& [category, t] : ours.tallies) {
        const Tally empty;
        const Tally& c1 = withCli ? cli1.at(category) : empty;
        const Tally& cN = withCli ? cliN.at(category) : empty;
        const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        std::printf(
            "%-13s %3lld | %7.2f%% %7.2f%% | %8.0f %8.0f %9.0f %7.1fx | %8.0f %8.0f %7.1fx | "
            "%10.2f%% %10.2f%%\n",
            qPrintable(category), qlonglong(t.ms.size()), t.cer(), c1.cer(), median(t.ms),
            median(c1.ms), median(cN.ms), ratio(median(c1.ms), median(t.ms)), median(t.cpuMs),
            median(c1.cpuMs), ratio(median(c1.cpuMs), median(t.cpuMs)), t.wordCer(), c1.wordCer());
    }
    QList<double> preparationMs;
    for (int r = 0; r < 21; ++r) {
        QElapsedTimer timer;
        timer.start();
        ScreenTextPreparer::prepare(images.value(kUiSample),
                                    TesseractRecognizer::Tuning{}.preparation);
        preparationMs.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("\n%s: image preparation alone %.1f ms median", qPrintable(kUiSample),
                median(preparationMs));
    std::printf("\n%s: ours median %.0f ms (9 runs), CLI median %.0f ms (1 thread), %.0f ms "
                "(default threads): %.1fx faster than CLI with 1 thread\n",
                qPrintable(kUiSample), median(ours.uiMs), median(uiCli1), median(uiCliN),
                median(ours.uiMs) > 0 ? median(uiCli1) / median(ours.uiMs) : 0.0);
    std::printf("%s: processor time ours %.0f ms, CLI %.0f ms (1 thread): %.1fx\n",
                qPrintable(kUiSample), median(ours.uiCpuMs), median(uiCli1Cpu),
                median(ours.uiCpuMs) > 0 ? median(uiCli1Cpu) / median(ours.uiCpuMs) : 0.0);
    std::printf("(CER: Levenshtein over ground-truth length, NFC, whitespace collapsed; "
                "CER*: words sorted first, so reading order does not count)\n");
    return 0;
}
