// `quillsnap-cli capture` and `quillsnap-cli scan`: ask the running tray
// application to run its capture or scan command.
#include "CliCommand.h"
#include "common/InstanceChannel.h"

namespace {

class InstanceCommand : public CliCommand
{
public:
    InstanceCommand(QString name, QString summary)
        : m_name(std::move(name)), m_summary(std::move(summary))
    {
    }
    QString name() const override { return m_name; }
    QString summary() const override { return m_summary; }
    QString help() const override
    {
        return QStringLiteral("Usage: quillsnap-cli %1\n\n%2.\n"
                              "The quillsnap tray application must be running; the command "
                              "returns as soon as it has accepted the request.\n")
            .arg(m_name, m_summary);
    }
    int run(const QStringList& args, CliContext& ctx) override
    {
        if (wantsHelp(args)) {
            ctx.out << help();
            return 0;
        }
        if (!args.isEmpty()) {
            ctx.err << "quillsnap-cli " << m_name << ": unexpected argument '" << args.first()
                    << "'\n";
            return 2;
        }
        QString detail;
        const auto sent =
            InstanceClient::send(InstanceServer::defaultSocketPath(), m_name, 3000, &detail);
        if (sent) {
            return 0;
        }
        switch (sent.error()) {
        case InstanceClient::Error::notRunning:
            ctx.err << "quillsnap-cli: quillsnap is not running; start it first\n";
            break;
        case InstanceClient::Error::noAnswer:
            ctx.err << "quillsnap-cli: quillsnap did not answer\n";
            break;
        case InstanceClient::Error::refused:
            ctx.err << "quillsnap-cli: quillsnap refused the request: " << detail << "\n";
            break;
        }
        return 1;
    }

private:
    QString m_name;
    QString m_summary;
};

InstanceCommand captureCommand(QStringLiteral("capture"),
                               QStringLiteral("Capture a screen region and copy its text"));
InstanceCommand
    scanCommand(QStringLiteral("scan"),
                QStringLiteral("Capture a screen region and copy its QR code or barcode"));
const CliCommand::Registration registerCapture(&captureCommand);
const CliCommand::Registration registerScan(&scanCommand);

} // namespace
