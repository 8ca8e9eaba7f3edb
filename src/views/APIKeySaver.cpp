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

void APIKeySaver::load(QObject* context, std::function<void(Keys)> done) const
{
    // The store answers one call at a time, in order: the last answer
    // completes the set.
    auto keys = std::make_shared<Keys>();
    for (qsizetype i = 0; i < qsizetype(std::size(providers)); ++i) {
        const Provider& provider = providers[i];
        const bool last = i + 1 == qsizetype(std::size(providers));
        m_keychain.readKey(
            provider.account, context,
            [keys, field = provider.field, last, done](const KeychainService::KeyLookup& lookup) {
                (*keys).*field = lookup.found() ? lookup.key : QString();
                if (last) {
                    done(*keys);
                }
            });
    }
}

void APIKeySaver::save(const Keys& keys, QObject* context, std::function<void(Alert)> done) const
{
    saveFrom(0, keys, context, std::move(done));
}

void APIKeySaver::saveFrom(qsizetype index, const Keys& keys, QObject* context,
                           std::function<void(Alert)> done) const
{
    if (index == qsizetype(std::size(providers))) {
        done({tr("Success"), tr("API keys saved successfully!")});
        return;
    }
    const Provider& provider = providers[index];
    // QString::trimmed() drops Unicode spaces and line separators too, as a
    // key pasted from a web page or a mail often carries them.
    const QString key = (keys.*provider.field).trimmed();
    if (key.isEmpty()) {
        saveFrom(index + 1, keys, context, std::move(done));
        return;
    }
    m_keychain.saveKey(key, provider.account, context,
                       [this, index, keys, context, done = std::move(done)](bool saved) {
                           if (!saved) {
                               done({tr("Error"), tr(providers[index].failure)});
                               return;
                           }
                           saveFrom(index + 1, keys, context, done);
                       });
}

QString APIKeySaver::message() const
{
    return tr("Configure your AI provider API keys.\nKeys are stored securely in %1.")
        .arg(m_keychain.storeName());
}
