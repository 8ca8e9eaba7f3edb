#include "ViewsFixture.h"
#include "views/HistoryView.h"
#include "views/OnboardingView.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString describe(const QWidget* w)
{
    return QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
}

// What assistive technology (AT-SPI) and a Linux user would trip over in a
// window, all of its pages included: a control without a name, an image named
// like an identifier or taking focus, another system's keys or places.
QStringList problems(QWidget* root)
{
    static const QRegularExpression foreign(
        u"[⌘⇧⌥⌃]|menu bar|System Settings|Privacy & Security|macOS|iCloud|Keychain"_s,
        QRegularExpression::CaseInsensitiveOption);
    QStringList found;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : std::as_const(widgets)) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        const QString name = a->text(QAccessible::Name);
        QString texts = name + a->text(QAccessible::Description) + w->toolTip() + w->windowTitle();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            texts += edit->placeholderText();
        }
        if (foreign.match(texts).hasMatch()) {
            found << u"foreign wording in "_s + describe(w) + u": "_s + texts;
        }
        const bool control = w->focusPolicy() != Qt::NoFocus || a->role() == QAccessible::Button;
        if (control && name.trimmed().isEmpty()) {
            found << u"unnamed control "_s + describe(w);
        }
        if (a->role() == QAccessible::Graphic &&
            (control || (!name.isEmpty() && !name.contains(u' ') && name.toLower() == name))) {
            found << u"image not decorative nor named for people: "_s + describe(w) + name;
        }
        // Items of lists are read by their names too.
        for (int i = 0; a->role() == QAccessible::List && i < a->childCount(); ++i) {
            if (a->child(i)->role() == QAccessible::ListItem &&
                a->child(i)->text(QAccessible::Name).isEmpty()) {
                found << u"unnamed item in "_s + describe(w);
            }
        }
    }
    return found;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void everyControlIsNamed_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("captures");
        QTest::newRow("onboarding, all pages") << u"onboarding-asks"_s << 0;
        QTest::newRow("history") << u"history"_s << 5;
        QTest::newRow("history, empty") << u"history"_s << 0;
        QTest::newRow("history, a capture open") << u"history"_s << -5;
        QTest::newRow("API keys") << u"apikeys"_s << 0;
    }
    void everyControlIsNamed()
    {
        QFETCH(QString, window);
        QFETCH(int, captures);
        ViewsFixture f;
        f.addSamples(std::abs(captures));
        QWidget* root = nullptr;
        const auto owner = f.makeWindow(window, root);
        root->show();
        QVERIFY(QTest::qWaitForWindowExposed(root));
        if (captures < 0) {
            root->findChild<HistoryView*>()->showDetail(f.history.items().at(1));
        }
        QCOMPARE(problems(root), QStringList());
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
