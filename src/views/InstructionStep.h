#pragma once

#include <QWidget>

// A numbered step: the number in white on a 28 px accent circle, then the text.
class InstructionStep : public QWidget
{
    Q_OBJECT
public:
    InstructionStep(int number, const QString& text, QWidget* parent = nullptr);
};
