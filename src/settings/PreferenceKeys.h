#pragma once

#include <QLatin1StringView>

// Keys of the preference store. Each reader applies its own default when a key
// is absent; the typed readers of Preferences carry those defaults.
namespace PreferenceKeys {
inline constexpr QLatin1StringView hasCompletedOnboarding{"hasCompletedOnboarding"};
inline constexpr QLatin1StringView aiEnhancedOCREnabled{"aiEnhancedOCREnabled"};
inline constexpr QLatin1StringView aiProvider{"aiProvider"};
inline constexpr QLatin1StringView openaiModel{"openaiModel"};
inline constexpr QLatin1StringView geminiModel{"geminiModel"};
// A model name typed by the user (a local server's, say); when set, OpenAI
// requests use it instead of the model chosen from the list.
inline constexpr QLatin1StringView openaiCustomModel{"openaiCustomModel"};
// Where each provider's requests go: scheme, host, optional port and path
// prefix; absent or blank: the service's public host.
inline constexpr QLatin1StringView openaiBaseURL{"openaiBaseURL"};
inline constexpr QLatin1StringView geminiBaseURL{"geminiBaseURL"};
inline constexpr QLatin1StringView ocrSpaceBaseURL{"ocrSpaceBaseURL"};
inline constexpr QLatin1StringView additiveClipboardEnabled{"additiveClipboardEnabled"};
inline constexpr QLatin1StringView hotkeySequence{"hotkeySequence"};
inline constexpr QLatin1StringView hotkeyKeyCode{"hotkeyKeyCode"};
inline constexpr QLatin1StringView hotkeyModifiers{"hotkeyModifiers"};
inline constexpr QLatin1StringView launchAtLogin{"launchAtLogin"};
inline constexpr QLatin1StringView showMenuBarIcon{"showMenuBarIcon"};
inline constexpr QLatin1StringView suEnableAutomaticChecks{"SUEnableAutomaticChecks"};
inline constexpr QLatin1StringView suAutomaticallyUpdate{"SUAutomaticallyUpdate"};
inline constexpr QLatin1StringView suFeedURL{"SUFeedURL"};
inline constexpr QLatin1StringView suLastCheckTime{"SULastCheckTime"};
inline constexpr QLatin1StringView suSkippedVersion{"SUSkippedVersion"};
inline constexpr QLatin1StringView maxHistoryItems{"maxHistoryItems"};
inline constexpr QLatin1StringView autoDeleteAfterDays{"autoDeleteAfterDays"};
inline constexpr QLatin1StringView iCloudSyncEnabled{"iCloudSyncEnabled"};
inline constexpr QLatin1StringView lastSyncDate{"lastSyncDate"};
inline constexpr QLatin1StringView syncBackend{"syncBackend"};
inline constexpr QLatin1StringView syncWebDAVURL{"syncWebDAVURL"};
inline constexpr QLatin1StringView syncWebDAVUser{"syncWebDAVUser"};
inline constexpr QLatin1StringView syncFolder{"syncFolder"};
inline constexpr QLatin1StringView captureHistory{"captureHistory"};
inline constexpr QLatin1StringView captureHistoryEncrypted{"captureHistoryEncrypted"};
// Tesseract languages joined by "+"; absent: English and the user's locale.
inline constexpr QLatin1StringView recognitionLanguages{"recognitionLanguages"};
// Where "Add Languages..." downloads NAME.traineddata from.
inline constexpr QLatin1StringView tessdataBaseURL{"tessdataBaseURL"};
} // namespace PreferenceKeys

// Provider and model identifiers stored under the keys above.
namespace ProviderIds {
inline constexpr QLatin1StringView openai{"openai"};
inline constexpr QLatin1StringView gemini{"gemini"};
inline constexpr QLatin1StringView ocrspace{"ocrspace"};
} // namespace ProviderIds
