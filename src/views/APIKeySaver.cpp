#include "views/APIKeySaver.h"

#include "history/KeychainService.h"

namespace {

struct Provider
{
    QString APIKeySaver::Keys::*field;
    QLatin1StringView account;
    const char* failure;
};

// The order in which the fields are saved.
constexpr Provider providers[] = {
    {&APIKeySaver::Keys::openAI, KeychainService::openAIKeyAccount,
     QT_TRANSLATE_NOOP("APIKeySaver", "Failed to save OpenAI API key.")},
    {&APIKeySaver::Keys::gemini, KeychainService::geminiKeyAccount,
     QT_TRANSLATE_NOOP("APIKeySaver", "Failed to save Gemini API key.")},
    {&APIKeySaver::Keys::ocrSpace, KeychainService::ocrSpaceKeyAccount,
     QT_TRANSLATE_NOOP("APIKeySaver", "Failed to save OCR.space API key.")},
};

} // namespace

APIKeySaver::APIKeySaver(KeychainService& keychain) : m_keychain(keychain) {}

APIKeySaver::Keys APIKeySaver::load() const
{
    Keys keys;
    for (const Provider& provider : providers) {
        keys.*provider.field = m_keychain.readKey(provider.account).value_or(QString());
    }
    return keys;
}

APIKeySaver::Alert APIKeySaver::save(const Keys& keys) const
{
    for (const Provider& provider : providers) {
        // QString::trimmed() drops Unicode spaces and line separators too, as
        // a key pasted from a web page or a mail often carries them.
        const QString key = (keys.*provider.field).trimmed();
        if (key.isEmpty()) {
            continue;
        }
        if (!m_keychain.saveKey(key, provider.account)) {
            return {tr("Error"), tr(provider.failure)};
        }
    }
    return {tr("Success"), tr("API keys saved successfully!")};
}

QString APIKeySaver::message() const
{
    return tr("Configure your AI provider API keys.\nKeys are stored securely in %1.")
        .arg(m_keychain.storeName());
}
