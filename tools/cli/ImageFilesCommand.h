#pragma once

#include "CliCommand.h"

#include <QImage>

// Common ground of the commands that read image files (recognize, scan-file):
// options, one report per file, and the exit status. 0: every file gave text;
// 1: some file gave none; 2: some file could not be read or processed (wins
// over 1).
class ImageFilesCommand : public CliCommand
{
    Q_DECLARE_TR_FUNCTIONS(ImageFilesCommand)

public:
    QString synopsis() const override;
    void configure(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser, CliContext& ctx) override;
    int failureStatus() const override { return 2; }

protected:
    struct Outcome
    {
        enum class Status { text, noText, failed };
        Status status = Status::noText;
        QString text; // as it would reach the clipboard
        qint64 ms = 0;
        QString failure; // why processing failed, for the error message
    };

    // What the command does, for its help.
    virtual QString description() const = 0;
    // Called once before the first file, for slow set-up such as loading an engine.
    virtual void prepare() {}
    virtual Outcome process(const QImage& image) = 0;
    // The message for a file without a result, naming it.
    virtual QString noResultMessage(const QString& file) const = 0;
};
