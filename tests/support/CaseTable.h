#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

#include <initializer_list>

// Rows of a data-driven test written as one string each, its fields
// separated by "→" ("• Item→Item"). Every field goes to a QString column, in
// the order the columns were added.
inline void addRows(std::initializer_list<const char16_t*> cases)
{
    for (const char16_t* text : cases) {
        const QString row = QString::fromUtf16(text);
        QTestData& data = QTest::addRow("%s", qPrintable(row.left(48).replace(u'\n', u'¶')));
        for (const QString& field : row.split(u'→')) {
            data << field;
        }
    }
}

// The same rows kept whole in one column, "row", for tables with many
// columns; fields() splits the current one.
inline void rows(std::initializer_list<const char16_t*> cases)
{
    QTest::addColumn<QString>("row");
    for (const char16_t* text : cases) {
        const QString row = QString::fromUtf16(text);
        QTest::addRow("%s",
                      qPrintable(QString(row.left(60)).replace(u'\r', u'^').replace(u'\n', u'^')))
            << row;
    }
}

inline QStringList fields()
{
    return static_cast<QString*>(QTest::qData("row", qMetaTypeId<QString>()))
        ->split(QStringLiteral("→"));
}
