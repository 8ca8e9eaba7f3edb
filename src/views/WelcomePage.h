#pragma once

#include <QWidget>

// First page: what quillsnap does, in three feature rows.
class WelcomePage : public QWidget
{
    Q_OBJECT
public:
    explicit WelcomePage(QWidget* parent = nullptr);
};
