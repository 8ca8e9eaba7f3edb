#include "views/SegmentedControl.h"

#include "views/ViewStyle.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QRadioButton>

SegmentedControl::SegmentedControl(const QList<Choice>& choices, QWidget* parent)
    : QWidget(parent), m_choices(choices), m_group(new QButtonGroup(this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const QColor accent = ViewStyle::accent(palette());
    for (int i = 0; i < m_choices.size(); ++i) {
        auto* button = new QRadioButton(m_choices[i].title, this);
        button->setFont(ViewStyle::textFont(ViewStyle::TextStyle::Callout));
        const QString corners =
            QStringLiteral("border-top-left-radius: %1px; border-bottom-left-radius: %1px;"
                           " border-top-right-radius: %2px; border-bottom-right-radius: %2px;")
                .arg(i == 0 ? 6 : 0)
                .arg(i + 1 == m_choices.size() ? 6 : 0);
        button->setStyleSheet(
            QStringLiteral("QRadioButton { outline: none; spacing: 0; padding: 4px 14px; %1"
                           " border: 1px solid palette(mid); %2"
                           " background-color: palette(button); color: palette(button-text); }"
                           " QRadioButton::indicator { width: 0; height: 0; border: none;"
                           " image: none; background: transparent; }"
                           " QRadioButton:checked { background-color: %3; color: white;"
                           " border-color: %3; }"
                           " QRadioButton:focus { border: 2px solid %4; }")
                .arg(corners, i == 0 ? QString() : QStringLiteral("border-left: none;"),
                     accent.name(), accent.darker(160).name()));
        button->installEventFilter(this);
        m_group->addButton(button, i);
        row->addWidget(button);
    }
    row->addStretch(1);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int index) { pick(index); });
}

QString SegmentedControl::value() const
{
    const int index = m_group->checkedId();
    return index >= 0 ? m_choices[index].value : QString();
}

void SegmentedControl::setValue(const QString& value)
{
    // An exclusive group cannot be left without a checked button.
    m_group->setExclusive(false);
    for (int i = 0; i < m_choices.size(); ++i) {
        m_group->button(i)->setChecked(m_choices[i].value == value);
    }
    m_group->setExclusive(true);
}

QRadioButton* SegmentedControl::button(int index) const
{
    return qobject_cast<QRadioButton*>(m_group->button(index));
}

void SegmentedControl::pick(int index)
{
    setValue(m_choices[index].value);
    emit activated(m_choices[index].value);
}

bool SegmentedControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int index = m_group->id(qobject_cast<QRadioButton*>(watched));
        const int step = key == Qt::Key_Right ? 1 : key == Qt::Key_Left ? -1 : 0;
        const int next = index + step;
        if (step != 0 && index >= 0 && next >= 0 && next < m_choices.size()) {
            button(next)->setFocus(Qt::TabFocusReason);
            pick(next);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
