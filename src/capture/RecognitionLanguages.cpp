#include "capture/RecognitionLanguages.h"

#include "capture/TesseractRecognizer.h"
#include "common/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

#include <unicode/uloc.h>

#include <algorithm>

namespace RecognitionLanguages {

namespace {

constexpr QLatin1StringView kSuffix{".traineddata"};

// Tesseract names that are no 639-2/T code of the language's locale.
struct Special
{
    QLatin1StringView tesseract;
    QLatin1StringView locale; // ICU locale identifier
};
constexpr Special kSpecials[] = {
    {QLatin1StringView("chi"), QLatin1StringView("zh")},
    {QLatin1StringView("frk"), QLatin1StringView("de")},
    {QLatin1StringView("nor"), QLatin1StringView("no")},
};

struct Qualifier
{
    QLatin1StringView suffix;
    QLatin1StringView script; // an ISO 15924 script, or empty
    const char* text;         // said after the name when there is no script
};
constexpr Qualifier kQualifiers[] = {
    {QLatin1StringView("sim"), QLatin1StringView("Hans"), nullptr},
    {QLatin1StringView("tra"), QLatin1StringView("Hant"), nullptr},
    {QLatin1StringView("latn"), QLatin1StringView("Latn"), nullptr},
    {QLatin1StringView("cyrl"), QLatin1StringView("Cyrl"), nullptr},
    {QLatin1StringView("vert"), {}, QT_TRANSLATE_NOOP("RecognitionLanguages", "vertical")},
    {QLatin1StringView("old"), {}, QT_TRANSLATE_NOOP("RecognitionLanguages", "historic")},
    {QLatin1StringView("latf"), {}, QT_TRANSLATE_NOOP("RecognitionLanguages", "Fraktur")},
};

QString icuDisplayName(const QByteArray& id, const QByteArray& inLocale)
{
    UChar buffer[256];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        uloc_getDisplayName(id.constData(), inLocale.constData(), buffer, 256, &status);
    if (U_FAILURE(status) || length <= 0) {
        return QString();
    }
    return QString(reinterpret_cast<const QChar*>(buffer), std::min<int32_t>(length, 256));
}

// The locale language code of a three-letter Tesseract name.
QString localeLanguage(const QString& base)
{
    for (const Special& s : kSpecials) {
        if (base == s.tesseract) {
            return QString(s.locale);
        }
    }
    const QLocale::Language language = QLocale::codeToLanguage(base, QLocale::ISO639Alpha3);
    const QString alpha2 = language == QLocale::AnyLanguage
                               ? QString()
                               : QLocale::languageToCode(language, QLocale::ISO639Part1);
    return alpha2.isEmpty() ? base : alpha2;
}

} // namespace

const QStringList& catalog()
{
    static const QStringList languages =
        QStringLiteral(
            "afr amh ara asm aze aze_cyrl bel ben bod bos bre bul cat ceb ces chi_sim chi_sim_vert "
            "chi_tra chi_tra_vert chr cos cym dan deu div dzo ell eng enm epo est eus fao fas fil "
            "fin fra frk frm fry gla gle glg grc guj hat heb hin hrv hun hye iku ind isl ita "
            "ita_old jav jpn jpn_vert kan kat kat_old kaz khm kir kmr kor kor_vert lao lat lav lit "
            "ltz mal mar mkd mlt mon mri msa mya nep nld nor oci ori pan pol por pus que ron rus "
            "san sin slk slv snd spa spa_old sqi srp srp_latn sun swa swe syr tam tat tel tgk tha "
            "tir ton tur uig ukr urd uzb uzb_cyrl vie yid yor")
            .split(u' ');
    return languages;
}

QString userDataDirectory()
{
    return AppPaths::dataDir() + QStringLiteral("/tessdata");
}

QStringList dataDirectories()
{
    return {TesseractRecognizer::defaultDataDirectory(), userDataDirectory()};
}

bool isValidName(QStringView text)
{
    static const QRegularExpression name(QStringLiteral("^[a-z]{3}(_[a-z]{3,4})*$"));
    return name.match(text).hasMatch();
}

QStringList installed(const QStringList& dirs)
{
    QStringList languages;
    for (const QString& dir : dirs) {
        const QStringList files =
            QDir(dir).entryList({QStringLiteral("*.traineddata")}, QDir::Files | QDir::Readable);
        for (const QString& file : files) {
            const QString name = file.chopped(kSuffix.size());
            if (isValidName(name) && name != u"osd" && name != u"equ" &&
                !languages.contains(name)) {
                languages << name;
            }
        }
    }
    languages.sort();
    return languages;
}

QStringList parse(const QString& text)
{
    QStringList languages;
    for (const QString& part : text.split(u'+', Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (isValidName(name) && !languages.contains(name)) {
            languages << name;
        }
    }
    return languages;
}

QString join(const QStringList& languages)
{
    return languages.join(u'+');
}

QStringList forLocale(const QString& localeName)
{
    // language[_territory][.codeset][@modifier]
    QString name = localeName.section(u'.', 0, 0);
    const QString modifier = localeName.section(u'@', 1);
    name = name.section(u'@', 0, 0);
    const QString language = name.section(u'_', 0, 0).toLower();
    const QString territory = name.section(u'_', 1).toUpper();
    if (language.isEmpty() || language == u"c" || language == u"posix") {
        return {};
    }
    if (language == u"zh") {
        const bool traditional = territory == u"TW" || territory == u"HK" || territory == u"MO";
        return {traditional ? QStringLiteral("chi_tra") : QStringLiteral("chi_sim")};
    }
    if (language == u"nb" || language == u"nn" || language == u"no") {
        return {QStringLiteral("nor")};
    }
    const QLocale::Language lang = QLocale::codeToLanguage(language);
    if (lang == QLocale::AnyLanguage) {
        return {};
    }
    QString code = QLocale::languageToCode(lang, QLocale::ISO639Part2T);
    if (code.isEmpty()) {
        code = QLocale::languageToCode(lang, QLocale::ISO639Alpha3);
    }
    if (code.isEmpty()) {
        return {};
    }
    if (modifier == u"latin" || (code == u"uzb" && modifier == u"cyrillic")) {
        code += modifier == u"latin" ? QStringLiteral("_latn") : QStringLiteral("_cyrl");
    }
    return {code};
}

QStringList effective(const std::optional<QString>& stored, const QStringList& installed,
                      const QProcessEnvironment& environment)
{
    QStringList chosen;
    if (stored) {
        for (const QString& language : parse(*stored)) {
            if (installed.contains(language)) {
                chosen << language;
            }
        }
        if (!chosen.isEmpty()) {
            return chosen;
        }
    }
    if (installed.contains(QStringLiteral("eng"))) {
        chosen << QStringLiteral("eng");
    }
    QStringList locales = environment.value(QStringLiteral("LANGUAGE")).split(u':');
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locales << environment.value(QString::fromLatin1(variable));
    }
    for (const QString& locale : std::as_const(locales)) {
        for (const QString& language : forLocale(locale)) {
            if (installed.contains(language) && !chosen.contains(language)) {
                chosen << language;
            }
        }
    }
    return chosen;
}

QString displayName(const QString& language, const QLocale& locale)
{
    const QStringList parts = language.split(u'_');
    QString id = localeLanguage(parts.first());
    QStringList notes;
    if (parts.first() == u"frk") {
        notes << QCoreApplication::translate("RecognitionLanguages", "Fraktur");
    }
    for (const QString& suffix : parts.mid(1)) {
        for (const Qualifier& q : kQualifiers) {
            if (suffix != q.suffix) {
                continue;
            }
            if (!q.script.isEmpty()) {
                id += u'_' + q.script;
            } else {
                notes << QCoreApplication::translate("RecognitionLanguages", q.text);
            }
        }
    }
    QString name = icuDisplayName(id.toLatin1(), locale.name().toLatin1());
    if (name.isEmpty() || name == id) {
        return language;
    }
    for (const QString& note : std::as_const(notes)) {
        name = QCoreApplication::translate("RecognitionLanguages", "%1, %2").arg(name, note);
    }
    return name;
}

} // namespace RecognitionLanguages
