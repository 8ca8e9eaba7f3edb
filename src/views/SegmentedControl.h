#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QButtonGroup;
class QRadioButton;

// A row of joined, mutually exclusive buttons, one per choice: radio buttons
// drawn as segments, so that assistive technology announces them as such.
// Each choice has a title and a value; at most one is selected (none while
// the value is one the control does not offer). The left and right arrow
// keys move the choice.
class SegmentedControl : public QWidget
{
    Q_OBJECT
public:
    struct Choice
    {
        QString title;
        QString value;
    };

    SegmentedControl(const QList<Choice>& choices, QWidget* parent = nullptr);

    // The value of the selected choice; empty when none is.
    QString value() const;
    // Selects the choice with that value, or none; emits nothing.
    void setValue(const QString& value);
    QRadioButton* button(int index) const;

signals:
    // The user picked a choice.
    void activated(const QString& value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pick(int index);

    QList<Choice> m_choices;
    QButtonGroup* m_group;
};
