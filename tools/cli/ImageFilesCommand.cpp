#include "ImageFilesCommand.h"

#include "capture/OCRService.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

int ImageFilesCommand::run(const QStringList& args, CliContext& ctx)
{
    if (wantsHelp(args)) {
        ctx.out << help();
        return 0;
    }
    bool json = false;
    QStringList files;
    bool optionsDone = false;
    for (const QString& arg : args) {
        if (!optionsDone && arg == QLatin1String("--")) {
            optionsDone = true;
        } else if (!optionsDone && arg == QLatin1String("--json")) {
            json = true;
        } else if (!optionsDone && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            ctx.err << "quillsnap-cli " << name() << ": unknown option '" << arg << "'\n";
            return 2;
        } else {
            files.append(arg);
        }
    }
    if (files.isEmpty()) {
        ctx.err << "quillsnap-cli " << name() << ": no FILE given\n" << help();
        return 2;
    }

    prepare();
    int status = 0;
    for (const QString& file : files) {
        const std::optional<QImage> image = OCRService::loadImage(file);
        Outcome outcome;
        if (!image) {
            outcome.status = Outcome::Status::failed;
            outcome.failure = QStringLiteral("cannot read %1 as an image").arg(file);
        } else {
            outcome = process(*image);
            if (outcome.status == Outcome::Status::text && outcome.text.isEmpty()) {
                outcome.status = Outcome::Status::noText;
            }
        }

        switch (outcome.status) {
        case Outcome::Status::text:
            break;
        case Outcome::Status::noText:
            ctx.err << noResultMessage(file) << "\n";
            status = std::max(status, 1);
            break;
        case Outcome::Status::failed:
            ctx.err << "quillsnap-cli " << name() << ": " << outcome.failure << "\n";
            status = 2;
            break;
        }
        if (json) {
            QJsonObject line{{QStringLiteral("file"), file},
                             {QStringLiteral("text"), outcome.text},
                             {QStringLiteral("ms"), outcome.ms}};
            ctx.out << QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact))
                    << "\n";
        } else if (outcome.status == Outcome::Status::text) {
            ctx.out << outcome.text << "\n";
        }
        ctx.out.flush();
        ctx.err.flush();
    }
    return status;
}
