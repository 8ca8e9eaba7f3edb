#pragma once

#include <QWidget>

class QLabel;

// A small symbol followed by a value and its label, e.g. the "12 items" of the
// history header or the "340 characters" of a capture's details. The symbol
// is decorative; the widget reads out as value and label together.
class StatLabel : public QWidget
{
    Q_OBJECT
public:
    StatLabel(const QString& icon, const QString& value, const QString& label,
              QWidget* parent = nullptr);

    QString value() const;
    // Value and label as read together, e.g. "12 items".
    QString text() const;

    void setValue(const QString& value);

private:
    QLabel* m_value;
    QLabel* m_label;
};
