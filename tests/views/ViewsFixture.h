#pragma once

#include "MemoryClipboard.h"
#include "MemorySecretStore.h"
#include "TestEnvironment.h"
#include "common/Clock.h"
#include "feedback/AlertPresenter.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"
#include "history/KeychainService.h"
#include "platform/XdgAutostartLoginItem.h"
#include "settings/Preferences.h"
#include "views/APIKeyConfigView.h"
#include "views/APIKeyDialog.h"
#include "views/AddLanguagesDialog.h"
#include "views/HistoryWindow.h"
#include "views/OnboardingWindowController.h"
#include "views/SettingsWindow.h"

#include <QNetworkAccessManager>
#include <QTest>

#include <memory>

// What the windows show, kept in a private temporary home: preferences, a
// history at a fixed "now" encrypted with a key in an in-memory keyring, and
// the API keys in that keyring.
inline const QDateTime kNow(QDate(2026, 4, 10), QTime(12, 0), Qt::LocalTime);

// A permission that a test grants when it likes, counting the checks.
class FakePermission final : public ScreenCapturePermission
{
public:
    bool isGranted() const override
    {
        ++checks;
        return granted;
    }
    bool asksUser() const override { return asks; }
    bool granted = false;
    bool asks = true;
    mutable int checks = 0;
};

struct ViewsFixture
{
    TestEnvironment env;
    Preferences prefs{env.configHome() + QStringLiteral("/quillsnap/quillsnap.conf")};
    QString dataDir = env.dataHome() + QStringLiteral("/quillsnap");
    std::shared_ptr<MemorySecretStore> keyring = std::make_shared<MemorySecretStore>();
    AsyncSecretStore secrets{keyring};
    ManualClock clock{kNow};
    EncryptionService encryption{secrets};
    HistoryService history{dataDir, encryption, clock};
    KeychainService keychain{secrets};
    MemoryClipboard clipboard;
    AlertPresenter alerts;
    XdgAutostartLoginItem loginItem{{env.configHome() + QStringLiteral("/autostart"),
                                     {},
                                     {},
                                     QStringLiteral("/usr/bin/quillsnap")}};
    QList<QUrl> openedUrls;
    QNetworkAccessManager network;
    // Stand-ins for the system's tessdata (English and French, not loadable)
    // and the user's folder of downloaded languages.
    QStringList languageDirs{env.root() + QStringLiteral("/tessdata"),
                             dataDir + QStringLiteral("/tessdata")};

    SettingsServices settingsServices()
    {
        QDir().mkpath(languageDirs[0]);
        for (const char* language : {"eng", "fra"}) {
            QFile(languageDirs[0] + u'/' + QLatin1String(language) + QStringLiteral(".traineddata"))
                .open(QIODevice::WriteOnly);
        }
        return {&prefs,
                &keychain,
                &alerts,
                &loginItem,
                [this]() -> HistoryService& { return history; },
                {},
                [this](const QUrl& url) { return openedUrls.append(url), true; },
                languageDirs,
                &network};
    }

    HistoryItem item(const QString& text, qint64 minutesAgo = 0, bool synced = false,
                     const QString& device = QStringLiteral("Work Laptop"))
    {
        HistoryItem i = HistoryItem::create(text, clock.now().addSecs(-60 * minutesAgo), device);
        i.isSynced = synced;
        return i;
    }

    // A history of `count` captures of every kind: short and long, several
    // lines, other scripts, synced from another machine or made here.
    void addSamples(int count)
    {
        static const char* const samples[] = {
            "Invoice #20931\nTotal due: 1,284.50 EUR\nPayment within 30 days",
            "sudo apt-get install --no-install-recommends qt6-base-dev cmake ninja-build",
            "Le rendez-vous est confirmé pour mardi à 14 h 30.",
            "Привет! Встреча перенесена на пятницу. 🌱",
        };
        QList<HistoryItem> items;
        for (int i = 0; i < count; ++i) {
            items.append(item(QString::fromUtf8(samples[i % 4]), qint64(i) * i * 37, i % 3 == 1,
                              QStringLiteral("Anna's ThinkPad")));
        }
        history.setItems(items);
    }

    // One window over this data, not yet shown: "onboarding" (a desktop that
    // does not ask for a screen permission), "onboarding-asks" (one that
    // does), "history", "apikeys" (the menu's dialog), "settings" or
    // "apikeysheet" (the settings window's sheet) or "addlanguages". The
    // returned object owns the window.
    std::unique_ptr<QObject> makeWindow(const QString& name, QWidget*& window)
    {
        if (name.startsWith(u"onboarding")) {
            OnboardingOptions options;
            auto permission = std::make_shared<FakePermission>();
            permission->asks = name.endsWith(u"asks");
            options.permission = permission;
            auto controller = std::make_unique<OnboardingWindowController>(prefs, options);
            window = controller->window();
            return controller;
        }
        std::unique_ptr<QWidget> made;
        if (name == u"history") {
            made = std::make_unique<HistoryWindow>(history, clipboard);
        } else if (name == u"settings") {
            made = std::make_unique<SettingsWindow>(settingsServices());
        } else if (name == u"apikeysheet") {
            made = std::make_unique<APIKeyConfigView>(keychain);
        } else if (name == u"addlanguages") {
            made = std::make_unique<AddLanguagesDialog>(network, languageDirs[1],
                                                        QStringList{QStringLiteral("eng")}, QUrl());
        } else {
            made = std::make_unique<APIKeyDialog>(keychain, nullptr);
        }
        window = made.get();
        return made;
    }

    // The texts of the history as the next start of the application reads it.
    QStringList storedTexts()
    {
        (void)QTest::qWaitFor([this] { return !history.hasUnsavedChanges(); });
        // Read as quillsnap-cli reads it: the service holds the writer's lock.
        const auto stored =
            HistoryService::readStored(dataDir, keyring, std::chrono::milliseconds(3000));
        QStringList texts;
        for (const HistoryItem& i : stored ? *stored : QList<HistoryItem>()) {
            texts.append(i.text);
        }
        return texts;
    }
};
