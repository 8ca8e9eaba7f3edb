#pragma once

#include "views/OnboardingPage.h"

// Last page: ready to use, and where to find quillsnap from now on.
class CompletionPage : public OnboardingPage
{
    Q_OBJECT
public:
    // keySequence: the capture key sequence as the user presses it.
    explicit CompletionPage(const QString& keySequence, QWidget* parent = nullptr);
};
