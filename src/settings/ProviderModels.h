#pragma once

#include <QLatin1StringView>

#include <array>

// Cloud model identifiers with the titles the menu shows, in menu order.
struct ModelChoice
{
    QLatin1StringView identifier;
    QLatin1StringView title;
};

inline constexpr std::array<ModelChoice, 6> openAIModels{{
    {QLatin1StringView("gpt-4o"), QLatin1StringView("GPT-4o (Recommended)")},
    {QLatin1StringView("gpt-4o-mini"), QLatin1StringView("GPT-4o Mini (Faster)")},
    {QLatin1StringView("gpt-4-turbo"), QLatin1StringView("GPT-4 Turbo")},
    {QLatin1StringView("gpt-4"), QLatin1StringView("GPT-4")},
    {QLatin1StringView("o1"), QLatin1StringView("o1 (Reasoning)")},
    {QLatin1StringView("o1-mini"), QLatin1StringView("o1 Mini (Reasoning)")},
}};

inline constexpr std::array<ModelChoice, 2> geminiModels{{
    {QLatin1StringView("gemini-2.5-flash"), QLatin1StringView("Gemini 2.5 Flash (Recommended)")},
    {QLatin1StringView("gemini-2.0-flash-exp"), QLatin1StringView("Gemini 2.0 Flash Exp")},
}};
