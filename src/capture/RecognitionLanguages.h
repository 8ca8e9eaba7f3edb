#pragma once

#include <QLocale>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// The languages of on-device recognition: Tesseract language names ("eng",
// "deu", "chi_sim"), joined by "+" in the preference "recognitionLanguages".
// Languages are installed as NAME.traineddata in the system's tessdata or in
// the user's folder, where the settings window downloads them.
namespace RecognitionLanguages {

// The languages the public tessdata repositories offer.
const QStringList& catalog();

// $XDG_DATA_HOME/quillsnap/tessdata.
QString userDataDirectory();
// The system's tessdata, then the user's folder.
QStringList dataDirectories();

// The languages installed in dirs, sorted, each once; not "osd" and "equ",
// which are no languages.
QStringList installed(const QStringList& dirs = dataDirectories());

// Whether text is a language name: lower-case letters, "_" between parts.
bool isValidName(QStringView text);
// "eng+deu" as its valid names, each once, in order.
QStringList parse(const QString& text);
QString join(const QStringList& languages);

// The languages to load: the stored choice, as far as it is installed, in
// its order; when nothing is stored or none of it is installed, English
// followed by the installed languages of the user's locale settings
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
QStringList
effective(const std::optional<QString>& stored, const QStringList& installed,
          const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
// The Tesseract languages of a locale name: "de_DE.UTF-8" gives "deu",
// "zh_TW" "chi_tra", "sr_RS@latin" "srp_latn"; "C" and "POSIX" none.
QStringList forLocale(const QString& localeName);

// A language's name in the language of `locale` (CLDR through ICU):
// "deu" is "German", "Deutsch" or "allemand"; an unknown name stays as it is.
QString displayName(const QString& language, const QLocale& locale = QLocale());

} // namespace RecognitionLanguages
