#pragma once

#include "capture/ScreenCapturePermission.h"
#include "hotkeys/ShortcutSetup.h"

#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

// What the onboarding window needs from the rest of the application. Every
// member has a working default, so `OnboardingOptions{}` is a complete set.
struct OnboardingOptions
{
    // The project's web site; the legal pages live under it unless given
    // explicitly below.
    QUrl websiteUrl{QStringLiteral("https://quillsnap.org/")};
    QUrl termsOfServiceUrl; // empty: <websiteUrl>/terms
    QUrl privacyPolicyUrl;  // empty: <websiteUrl>/privacy

    // The capture key sequence as the pages name it, in the desktop's own
    // form (the application passes the sequence in force).
    QString keySequenceText{QStringLiteral("Shift+Super+8")};

    // The permission page is shown only when this is set and the desktop
    // asks the user (asksUser()); otherwise reading the screen needs nothing.
    std::shared_ptr<const ScreenCapturePermission> permission;
    // First "Grant Permission" press: make the desktop ask for the permission
    // (the application passes the silent screenshot probe).
    std::function<void()> probe;
    // Every later press: show where the permission is managed. Empty where
    // the desktop has no such place; later presses then ask again.
    std::function<void()> openSettings;
    // Where the desktop cannot make a key global: the desktop shortcut the
    // key page offers to set up. Null: no such page.
    std::shared_ptr<ShortcutSetup> shortcutSetup;
    // How links are opened; null means QDesktopServices::openUrl.
    std::function<void(const QUrl&)> openUrl;
    // How often the permission page re-checks while the permission is missing.
    std::chrono::milliseconds permissionPollInterval{1000};

    QUrl resolvedTermsOfServiceUrl() const
    {
        return termsOfServiceUrl.isEmpty() ? websiteUrl.resolved(QUrl(QStringLiteral("terms")))
                                           : termsOfServiceUrl;
    }
    QUrl resolvedPrivacyPolicyUrl() const
    {
        return privacyPolicyUrl.isEmpty() ? websiteUrl.resolved(QUrl(QStringLiteral("privacy")))
                                          : privacyPolicyUrl;
    }
};
