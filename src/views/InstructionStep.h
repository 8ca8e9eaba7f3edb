#pragma once

#include <QWidget>

class QLabel;

// A numbered step: the number in white on a 28 px accent circle, then the text.
class InstructionStep : public QWidget
{
    Q_OBJECT
public:
    InstructionStep(int number, const QString& text, QWidget* parent = nullptr);

    int number() const { return m_number; }
    QString text() const;

private:
    int m_number;
    QLabel* m_text;
};
