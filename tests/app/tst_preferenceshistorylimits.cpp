#include "app/PreferencesHistoryLimits.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include "CaseTable.h"
#include "HistoryRig.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestPreferencesHistoryLimits : public QObject
{
    Q_OBJECT
private slots:
    // A stored history of captures aged 0, 5, 10, 40 and 100 days; the
    // settings change; the next capture (a save) keeps what they say.
    void limitsTakeEffectAtTheNextSave_data()
    {
        QTest::addColumn<QString>("items"); // "maxHistoryItems"; "-": absent
        QTest::addColumn<QString>("days");  // "autoDeleteAfterDays"; "-": absent
        QTest::addColumn<QString>("kept");  // the ages kept, "n" the new capture
        // Absent, negative or not a number: 1000 items and 30 days; 0 items
        // keeps none, 0 days no age limit, more than 1000 items keep 1000.
        addRows({u"-→-→n 0 5 10", u"2→-→n 0", u"0→0→", u"-→0→n 0 5 10 40 100", u"-→7→n 0 5",
                 u"3→90→n 0 5", u"5000→0→n 0 5 10 40 100", u"-4→-1→n 0 5 10",
                 u"many→90→n 0 5 10 40"});
    }
    void limitsTakeEffectAtTheNextSave()
    {
        QFETCH(QString, items);
        QFETCH(QString, days);
        QFETCH(QString, kept);
        HistoryRig rig;
        QList<HistoryItem> stored;
        for (const int age : {0, 5, 10, 40, 100}) {
            stored << rig.item(QString::number(age), qint64(age) * 24 * 60);
        }
        rig.start().setItems(stored);
        rig.history->saveHistory();
        rig.settle();

        Preferences prefs(rig.dir.filePath(u"quillsnap.conf"_s));
        PreferencesHistoryLimits limits(prefs);
        rig.history->setLimits(&limits);
        for (const auto& [key, value] : {std::pair{PreferenceKeys::maxHistoryItems, items},
                                         std::pair{PreferenceKeys::autoDeleteAfterDays, days}}) {
            if (value != u"-") {
                prefs.setValue(key, value);
            }
        }
        QCOMPARE(rig.history->items().size(), 5); // nothing goes before the next save
        rig.capture(u"n"_s);
        QCOMPARE(texts(rig.history->items()).join(u' '), kept);
        QCOMPARE(texts(*rig.readEncrypted()).join(u' '), kept);
    }
};

QTEST_MAIN(TestPreferencesHistoryLimits)
#include "tst_preferenceshistorylimits.moc"
