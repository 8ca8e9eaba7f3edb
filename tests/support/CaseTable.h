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
