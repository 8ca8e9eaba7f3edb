#include "common/CommandLineHelp.h"

#include <QCoreApplication>

namespace CommandLineHelp {

QCommandLineOption helpOption()
{
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QCoreApplication::translate("CommandLineHelp", "Show this help"));
}

QCommandLineOption versionOption()
{
    return QCommandLineOption(QStringLiteral("version"),
                              QCoreApplication::translate("CommandLineHelp", "Show the version"));
}

namespace {

// Qt wraps the option descriptions to the terminal's usual 80 columns but
// leaves the program's description as it is.
QString wrapped(const QString& text)
{
    constexpr qsizetype width = 79;
    QString result;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        qsizetype column = 0;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (column > 0 && column + 1 + word.size() > width) {
                result += QLatin1Char('\n');
                column = 0;
            } else if (column > 0) {
                result += QLatin1Char(' ');
                ++column;
            }
            result += word;
            column += word.size();
        }
        result += QLatin1Char('\n');
    }
    return result;
}

} // namespace

QString text(const QCommandLineParser& parser, const QString& usage)
{
    // Qt's help: "Usage: ..." line, the description, a blank line, options.
    const QString help = parser.helpText();
    const QString description = parser.applicationDescription();
    const qsizetype options =
        help.indexOf(QLatin1Char('\n')) + 1 + (description.isEmpty() ? 0 : description.size() + 1);
    QString result =
        QCoreApplication::translate("CommandLineHelp", "Usage: %1").arg(usage) + QLatin1Char('\n');
    if (!description.isEmpty()) {
        result += QLatin1Char('\n') + wrapped(description);
    }
    return result + help.mid(options);
}

QString errorMessage(const QCommandLineParser& parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString& name = unknown.first();
        return QCoreApplication::translate("CommandLineHelp", "unknown option '%1'")
            .arg((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    }
    // Qt words its other errors as sentences ("Missing value after '-i'.").
    QString message = parser.errorText();
    if (message.endsWith(QLatin1Char('.'))) {
        message.chop(1);
    }
    if (!message.isEmpty()) {
        message[0] = message.at(0).toLower();
    }
    return message;
}

} // namespace CommandLineHelp
