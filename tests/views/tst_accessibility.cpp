#include "ViewsFixture.h"

#include <QAccessible>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    // What assistive technology (AT-SPI) and a Linux user would trip over in
    // a window, all of its pages included: a control without a name, an
    // image that takes focus or is named like an identifier rather than for
    // people, another system's keys or places.
    void everyControlIsNamed_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("captures");
        QTest::newRow("onboarding, all pages") << u"onboarding-asks"_s << 0;
        QTest::newRow("history, a capture open") << u"history"_s << 5;
        QTest::newRow("history, empty") << u"history"_s << 0;
        QTest::newRow("API keys") << u"apikeys"_s << 0;
        QTest::newRow("settings") << u"settings"_s << 0;
        QTest::newRow("API-key sheet") << u"apikeysheet"_s << 0;
        QTest::newRow("add languages") << u"addlanguages"_s << 0;
    }
    void everyControlIsNamed()
    {
        QFETCH(QString, window);
        QFETCH(int, captures);
        static const QRegularExpression foreign(
            u"[⌘⇧⌥⌃]|menu bar|System Settings|Privacy & Security|macOS|iCloud|Keychain"_s,
            QRegularExpression::CaseInsensitiveOption);
        ViewsFixture f;
        f.addSamples(captures);
        QWidget* root = nullptr;
        const auto owner = f.makeWindow(window, root);
        root->show();
        QVERIFY(QTest::qWaitForWindowExposed(root));
        if (auto* history = qobject_cast<HistoryWindow*>(root); history && captures) {
            history->view()->showDetail(f.history.items().at(1));
        }
        QStringList found;
        const QList<QWidget*> widgets = root->findChildren<QWidget*>() << root;
        for (QWidget* w : widgets) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            const QString name = a->text(QAccessible::Name);
            const QString what = QString::fromLatin1(w->metaObject()->className()) + u' ' + name;
            const auto* edit = qobject_cast<QLineEdit*>(w);
            if (foreign
                    .match(name + a->text(QAccessible::Description) + w->toolTip() +
                           w->windowTitle() + (edit ? edit->placeholderText() : QString()))
                    .hasMatch()) {
                found << u"foreign wording: "_s + what;
            }
            const bool control =
                w->focusPolicy() != Qt::NoFocus || a->role() == QAccessible::Button;
            if (control && name.trimmed().isEmpty()) {
                found << u"unnamed control: "_s + what;
            }
            if (a->role() == QAccessible::Graphic &&
                (control || (!name.isEmpty() && !name.contains(u' ') && name.toLower() == name))) {
                found << u"image neither decorative nor named for people: "_s + what;
            }
            for (int i = 0; a->role() == QAccessible::List && i < a->childCount(); ++i) {
                if (a->child(i)->text(QAccessible::Name).isEmpty()) {
                    found << u"unnamed list item in "_s + what;
                }
            }
        }
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u"; ")));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
