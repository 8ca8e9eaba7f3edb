#pragma once

#include "views/OnboardingPage.h"

// First page: what quillsnap does, in three feature rows.
class WelcomePage : public OnboardingPage
{
    Q_OBJECT
public:
    // keySequence: the capture key sequence as the user presses it.
    explicit WelcomePage(const QString& keySequence, QWidget* parent = nullptr);
};
