#include "HistoryImport.h"

#include "LocalHistory.h"
#include "common/InstanceChannel.h"
#include "common/RegularFile.h"
#include "history/HistoryImport.h"
#include "history/HistoryItem.h"

#include <QFile>

#include <cstdio>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("HistoryImport", text);
}

int report(CliContext& ctx, qsizetype added, qsizetype present, qsizetype dropped)
{
    QString line = tr("added %1, already present %2").arg(added).arg(present);
    if (dropped > 0) {
        line += tr(", left out %1 older than the history keeps").arg(dropped);
    }
    ctx.out << line << u'\n';
    return 0;
}

} // namespace

int runHistoryImport(const QString& file, CliContext& ctx)
{
    const qint64 maxSize = InstanceServer::maxPayload;
    QByteArray data;
    QString name;
    if (file == QLatin1String("-")) {
        name = tr("standard input");
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            ctx.error(tr("cannot read standard input"));
            return 1;
        }
        data = in.read(maxSize + 1);
    } else {
        const QByteArray path = CliArguments::bytes(file);
        name = CliOutput::printable(QFile::decodeName(path), false);
        const auto read = RegularFile::read(path, maxSize);
        if (!read) {
            ctx.error(tr("cannot read %1: %2").arg(name, RegularFile::describe(read.error())));
            return 1;
        }
        data = *read;
    }
    const auto records = data.size() > maxSize ? std::nullopt : HistoryItem::decodeListJson(data);
    if (!records) {
        ctx.error(tr("%1 is not a history export (the JSON list that 'quillsnap-cli history "
                     "export' writes)")
                      .arg(name));
        return 1;
    }
    const QByteArray payload = HistoryItem::encodeListJson(*records).value_or(QByteArray());
    const QString command = QStringLiteral("import %1").arg(payload.size());
    if (const auto answer = askRunningApp(command, payload, std::chrono::minutes(2))) {
        if (!*answer) {
            ctx.error(answer->error());
            return 1;
        }
        const QStringList counts = answer->value().split(u' ');
        return report(ctx, counts.value(0).toLongLong(), counts.value(1).toLongLong(),
                      counts.value(2).toLongLong());
    }
    LocalHistory local;
    const auto history = local.open(std::chrono::seconds(10));
    if (!history) {
        ctx.error(history.error());
        return 1;
    }
    const auto outcome = HistoryImport::merge(**history, *records);
    if (const auto saved = local.waitUntilSaved(std::chrono::seconds(30)); !saved) {
        ctx.error(saved.error());
        return 1;
    }
    return report(ctx, outcome.added, outcome.alreadyPresent, outcome.dropped);
}
