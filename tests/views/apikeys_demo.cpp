#include "history/FileSecretStore.h"
#include "history/KeychainService.h"
#include "views/APIKeyDialog.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QTextStream>

// Shows the API-key dialog over a private-file store in a temporary home,
// with an OpenAI key already stored; prints the alert it ends with.
int main(int argc, char** argv)
{
    TestEnvironment env;
    QApplication app(argc, argv);
    QTextStream out(stdout);

    FileSecretStore store(FileSecretStore::defaultPath());
    KeychainService keychain(store);
    keychain.saveKey(QStringLiteral("sk-proj-demo0123456789"), KeychainService::openAIKeyAccount);

    APIKeyDialog dialog(keychain, [&out](const QString& title, const QString& message) {
        out << title << ": " << message << Qt::endl;
        QCoreApplication::quit();
    });
    QObject::connect(&dialog, &QDialog::rejected, &app, &QCoreApplication::quit);
    dialog.present();
    return app.exec();
}
