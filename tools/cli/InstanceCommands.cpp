// `quillsnap-cli capture`, `quillsnap-cli scan` and `quillsnap-cli settings`:
// ask the running tray application to run its capture or scan command, or to
// open its settings window.
#include "CliCommand.h"
#include "common/AppPaths.h"
#include "common/CaptureRegion.h"
#include "common/InstanceChannel.h"

#include <QFileInfo>

namespace {

class InstanceCommand : public CliCommand
{
    Q_DECLARE_TR_FUNCTIONS(InstanceCommand)

public:
    InstanceCommand(QString name, const char* summary, const char* description)
        : m_name(std::move(name)), m_summary(summary), m_description(description)
    {
    }
    QString name() const override { return m_name; }
    QString summary() const override { return tr(m_summary); }
    QString synopsis() const override { return m_name + QStringLiteral(" [--region X,Y,W,H]"); }
    void configure(QCommandLineParser& parser) const override
    {
        parser.addOption(regionOption());
        parser.setApplicationDescription(
            tr(m_description) + u' ' +
            tr("The quillsnap tray application must be running; the command returns as soon as "
               "it has taken the request."));
    }
    int run(const QCommandLineParser& parser, CliContext& ctx) override
    {
        if (!parser.positionalArguments().isEmpty()) {
            return ctx.unexpectedArgument(parser.positionalArguments().first());
        }
        QString request = m_name;
        if (parser.isSet(regionOption())) {
            const auto region = CaptureRegion::parse(parser.value(regionOption()));
            if (!region) {
                return ctx.usageError(region.error());
            }
            request += u' ' + CaptureRegion::format(*region);
        }
        // The socket lives in the private runtime directory: when that
        // cannot be used, the application cannot be reached either, running
        // or not, and the reason is what the user needs to hear.
        const auto dir = AppPaths::checkedPrivateTempDir();
        if (!dir) {
            ctx.error(tr("cannot reach quillsnap: %1").arg(dir.error()));
            return 1;
        }
        const QString socket = InstanceServer::defaultSocketPath();
        const auto sent = InstanceClient::send(socket, request, 3000);
        if (sent) {
            return 0;
        }
        switch (sent.error().error) {
        case InstanceClient::Error::notRunning:
            if (QFileInfo(socket).exists() && !QFileInfo(socket).isWritable()) {
                ctx.error(tr("cannot reach quillsnap: permission denied on %1").arg(socket));
            } else {
                ctx.error(tr("quillsnap is not running; start it first"));
            }
            break;
        case InstanceClient::Error::noAnswer:
            ctx.error(tr("quillsnap did not answer"));
            break;
        case InstanceClient::Error::refused:
            ctx.error(tr("quillsnap refused the request: %1")
                          .arg(CliOutput::printable(sent.error().detail, false)));
            break;
        }
        return 1;
    }

private:
    static QCommandLineOption regionOption()
    {
        return QCommandLineOption(
            QStringLiteral("region"),
            tr("Take this region of the desktop at once instead of letting the user pick one: "
               "X,Y,WIDTH,HEIGHT in logical pixels, as the desktop's own tools report them"),
            QStringLiteral("X,Y,W,H"));
    }

    QString m_name;
    const char* m_summary;
    const char* m_description;
};

InstanceCommand captureCommand(
    QStringLiteral("capture"),
    QT_TRANSLATE_NOOP("InstanceCommand", "Capture a screen region and copy its text"),
    QT_TRANSLATE_NOOP("InstanceCommand", "Let the user drag out a screen region and copy the "
                                         "text in it to the clipboard, as the tray menu does."));
InstanceCommand scanCommand(
    QStringLiteral("scan"),
    QT_TRANSLATE_NOOP("InstanceCommand", "Capture a screen region and copy its QR code or barcode"),
    QT_TRANSLATE_NOOP("InstanceCommand", "Let the user drag out a screen region and copy the QR "
                                         "code or barcode in it to the clipboard."));
InstanceCommand settingsCommand(
    QStringLiteral("settings"), QT_TRANSLATE_NOOP("InstanceCommand", "Open the settings window"),
    QT_TRANSLATE_NOOP("InstanceCommand",
                      "Open the settings window of the running application, also when its tray "
                      "icon is switched off."));
const CliCommand::Registration registerCapture(&captureCommand);
const CliCommand::Registration registerScan(&scanCommand);
const CliCommand::Registration registerSettings(&settingsCommand);

} // namespace
