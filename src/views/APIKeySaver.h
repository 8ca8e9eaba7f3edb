#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>

class KeychainService;

// What the menu's API-key dialog does with the keychain, apart from its
// widgets: it reads the three stored keys to fill the fields and saves the
// fields back. Saving never removes a key: an emptied field leaves the stored
// key as it is.
class APIKeySaver
{
    Q_DECLARE_TR_FUNCTIONS(APIKeySaver)

public:
    // The three fields, in the order they are shown and saved.
    struct Keys
    {
        QString openAI;
        QString gemini;
        QString ocrSpace;
    };

    // The alert to show once saving is over.
    struct Alert
    {
        QString title;
        QString message;
    };

    explicit APIKeySaver(KeychainService& keychain);

    // The stored keys; a provider without a readable key gets an empty
    // field. done runs on the main thread while context lives.
    void load(QObject* context, std::function<void(Keys)> done) const;

    // For OpenAI, then Gemini, then OCR.space: trims white space and line
    // breaks from both ends; an empty result leaves that provider's key as it
    // is, any other is saved. The first refused save stops the sequence (the
    // providers after it are not saved) and yields that provider's "Error"
    // alert; otherwise the "Success" alert.
    void save(const Keys& keys, QObject* context, std::function<void(Alert)> done) const;

    // The dialog's message, naming the store that actually holds the keys.
    QString message() const;

private:
    void saveFrom(qsizetype index, const Keys& keys, QObject* context,
                  std::function<void(Alert)> done) const;

    KeychainService& m_keychain;
};
