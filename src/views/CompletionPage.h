#pragma once

#include <QWidget>

// Last page: ready to use, and where to find quillsnap from now on.
class CompletionPage : public QWidget
{
    Q_OBJECT
public:
    explicit CompletionPage(QWidget* parent = nullptr);
};
