#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// A symbol in a 30 px column, then a headline title above a dimmed description.
class FeatureRow : public QWidget
{
    Q_OBJECT
public:
    FeatureRow(const QString& icon, const QString& title, const QString& description,
               QWidget* parent = nullptr);

    QString icon() const { return m_icon; }
    QString title() const;
    QString description() const;

private:
    QString m_icon;
    QLabel* m_title;
    QLabel* m_description;
};
