#include "CaseTable.h"
#include "FileMode.h"
#include "ViewsFixture.h"
#include "common/AppPaths.h"
#include "views/HistoryDetailView.h"
#include "views/HistoryListModel.h"
#include "views/HistoryRow.h"
#include "views/RelativeTimeFormatter.h"
#include "views/StatLabel.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

struct Fixture : ViewsFixture
{
    QString question; // the pending "Clear All" question, answered by the test
    std::function<void(bool)> answer;
    QList<QUrl> opened;
    HistoryViewHooks hooks;
    std::unique_ptr<HistoryWindow> window;

    Fixture(const QStringList& texts = {})
    {
        // Texts of captures made 0, 1, 2... minutes ago.
        QList<HistoryItem> items;
        for (const QString& text : texts) {
            items.append(item(text, items.size()));
        }
        history.setItems(items);
        history.saveHistory();
        hooks.confirm = [this](const QString& title, const QString& text, auto done) {
            question = title + u'|' + text;
            answer = std::move(done);
        };
        hooks.share.openUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        hooks.share.chooseSaveFile = [this](QWidget*, const QString&, auto done) {
            done(env.root() + u"/saved.txt"_s);
        };
    }
    HistoryView* view()
    {
        window = std::make_unique<HistoryWindow>(history, clipboard, hooks);
        window->show();
        [&] { QVERIFY(QTest::qWaitForWindowActive(window.get())); }();
        return window->view();
    }
};

QStringList shownTexts(const HistoryView* view)
{
    QStringList texts;
    for (const HistoryItem& i : view->listModel()->items()) {
        texts.append(i.text);
    }
    return texts;
}

// On row `row`: a click on its body ("body"), its Copy or Delete button
// ("copy", "delete"), or keys pressed with the row current.
void act(HistoryView* view, int row, const QString& action)
{
    QListView* list = view->listView();
    const QRect rect = list->visualRect(view->listModel()->index(row));
    list->setFocus();
    list->setCurrentIndex(view->listModel()->index(row));
    if (action == u"body") {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(60, 10));
    } else if (action == u"copy" || action == u"delete") {
        const auto part =
            action == u"copy" ? HistoryRow::Part::CopyButton : HistoryRow::Part::DeleteButton;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          HistoryRow::buttonRect(rect, part).center());
    } else {
        QTest::keySequence(QApplication::focusWidget(), QKeySequence(action));
    }
}

} // namespace

class TestHistoryView : public QObject
{
    Q_OBJECT

private slots:
    void relativeTime_data()
    {
        QTest::addColumn<QString>("secondsAgo");
        QTest::addColumn<QString>("expected");
        // Truncated, not rounded; negative: the clock is ahead.
        addRows({u"0→now", u"59→59 sec. ago", u"359→5 min. ago", u"86400→1 day ago",
                 u"604800→1 wk. ago", u"31449600→12 mo. ago", u"31536000→1 yr. ago",
                 u"-30→in 30 sec.", u"-86400→in 1 day"});
    }
    void relativeTime()
    {
        QFETCH(QString, secondsAgo);
        QTEST(RelativeTimeFormatter::shortText(kNow.addSecs(-secondsAgo.toLongLong()), kNow),
              "expected");
        QVERIFY(RelativeTimeFormatter::shortText(QDateTime(), kNow).isEmpty());
    }

    // Case and non-ASCII letters folded; not the device or the date; the
    // newest first.
    void search_data()
    {
        // search, expected
        rows({u"QUARTERLY→Quarterly", u"MÜLLER→Dr. Müller", u"Laptop→", u"2026→",
              u"r→Quarterly|Dr. Müller"});
    }
    void search()
    {
        const QStringList row = fields();
        const QString &search = row[0], &expected = row[1];
        Fixture f({u"Quarterly"_s, u"Dr. Müller"_s});
        HistoryView* view = f.view();
        view->searchField()->setText(search);
        QCOMPARE(shownTexts(view).join(u'|'), expected);
        QCOMPARE(view->itemCountLabel()->text(), u"2 items"_s); // all, not the matches
        QLabel* empty = view->visibleEmptyState();
        QCOMPARE(empty ? empty->text() : QString(),
                 expected.isEmpty() ? u"No matching captures"_s : QString());
    }

    void sortIsNewestFirstAndStable()
    {
        // Enough captures of one instant for an unstable sort to reorder them.
        Fixture f;
        QList<HistoryItem> items{f.item(u"old"_s, 90)};
        QStringList expected{u"new"_s};
        for (int i = 0; i < 40; ++i) {
            items.insert(1, f.item(QString::number(i), 10));
            expected.append(QString::number(39 - i));
        }
        items.insert(20, f.item(u"new"_s, 1));
        f.history.setItems(items);
        QCOMPARE(shownTexts(f.view()), expected << u"old"_s);
    }

    void deviceShownOnlyForSynced()
    {
        Fixture f;
        f.history.setItems({f.item(u"one two"_s, 5, true, u"Studio"_s), f.item(u"local"_s, 10)});
        HistoryView* view = f.view();
        QCOMPARE(HistoryRow::detailTexts(view->listModel()->index(0), kNow),
                 (QStringList{u"2 words"_s, u"5 min. ago"_s, u"Studio"_s}));
        QCOMPARE(HistoryRow::detailTexts(view->listModel()->index(1), kNow).size(), 2);
        view->showDetail(f.history.items().at(0));
        QCOMPARE(view->detailView()->statTexts().last(), u"Studio"_s);
        view->showDetail(f.history.items().at(1));
        QVERIFY(!view->detailView()->statTexts().contains(u"Work Laptop"_s));
    }

    // A row action ("body": a click on it; "copy", "delete": its buttons; or
    // keys), then one in the sheet if it opened: what is listed and stored,
    // what is on the clipboard (which held "old"), and whether the sheet is
    // still open.
    void actions_data()
    {
        rows({u"delete→→a|c→old→0", u"Del→→a|c→old→0", u"copy→→a|b|c→b→0", u"Ctrl+C→→a|b|c→b→0",
              u"body→→a|b|c→old→1", u"Return→→a|b|c→old→1", u"Return→copy→a|b|c→b→0",
              u"Return→Return→a|b|c→b→0", u"body→done→a|b|c→old→0", u"body→Esc→a|b|c→old→0"});
    }
    void actions()
    {
        const QStringList a = fields();
        Fixture f({u"a"_s, u"b"_s, u"c"_s});
        f.clipboard.current = u"old"_s;
        HistoryView* view = f.view();
        act(view, 1, a[0]);
        if (!a[1].isEmpty()) {
            HistoryDetailView* sheet = view->detailView();
            QVERIFY(sheet);
            QCOMPARE(sheet->textView()->toPlainText(), u"b"_s);
            if (a[1] == u"copy" || a[1] == u"done") {
                QTest::mouseClick(a[1] == u"copy" ? sheet->copyButton() : sheet->doneButton(),
                                  Qt::LeftButton);
            } else {
                QTest::keySequence(QApplication::focusWidget(), QKeySequence(a[1]));
            }
        }
        QTRY_COMPARE(view->selectedItem().has_value(), a[4] == u"1");
        QCOMPARE(shownTexts(view).join(u'|'), a[2]);
        QCOMPARE(f.storedTexts().join(u'|'), a[2]);
        QCOMPARE(f.clipboard.current, a[3]);
        QVERIFY(f.window->isVisible());
    }

    void clearAll_data()
    {
        QTest::addColumn<int>("answer"); // 0 Cancel, 1 Clear; 2 Escape, 3 Return in our own dialog
        QTest::newRow("Clear") << 1;
        QTest::newRow("Cancel") << 0;
        QTest::newRow("built-in dialog, Return: Clear") << 3;
        QTest::newRow("built-in dialog, Escape: Cancel") << 2;
    }
    void clearAll()
    {
        QFETCH(int, answer);
        Fixture f({u"a"_s, u"b"_s, u"c"_s});
        if (answer >= 2) {
            f.hooks.confirm = nullptr;
        }
        HistoryView* view = f.view();
        QTest::mouseClick(view->clearAllButton(), Qt::LeftButton);
        QCOMPARE(f.history.items().size(), 3); // nothing happens before the answer
        if (answer < 2) {
            QCOMPARE(f.question, u"Clear All History?|This will delete all 3 captured items. "
                                 u"This action cannot be undone."_s);
            f.answer(answer == 1);
        } else {
            QTest::keyClick(f.window->findChild<QDialog*>(),
                            answer == 3 ? Qt::Key_Return : Qt::Key_Escape);
        }
        QTRY_COMPARE(f.storedTexts().size(), answer % 2 ? 0 : 3);
        QCOMPARE(view->visibleEmptyState() != nullptr, answer % 2 == 1);
        QCOMPARE(view->clearAllButton()->isEnabled(), answer % 2 == 0);
        // An answer arriving after the window is gone does nothing.
        view->requestClearAll();
        f.window.reset();
        if (f.answer) {
            f.answer(true);
        }
        QCOMPARE(f.history.items().size(), answer % 2 ? 0 : 3);
    }

    void liveUpdateAndEmptyStates()
    {
        Fixture f({u"older"_s});
        HistoryView* view = f.view();
        view->setSearchText(u"e"_s);
        const QString fifty = u"arrived from sync"_s.leftJustified(50, u'e');
        f.history.insert(0, f.item(fifty + u'!', 0, true));
        QCOMPARE(shownTexts(view), (QStringList{fifty + u'!', u"older"_s}));
        // Previews hold 50 characters; an ellipsis marks the cut.
        QCOMPARE(view->listModel()->index(0).data(HistoryListModel::PreviewRole).toString(),
                 fifty + u"..."_s);
        QCOMPARE(view->listModel()->index(1).data(HistoryListModel::PreviewRole).toString(),
                 u"older"_s);
        QCOMPARE(view->sizeLabel()->value(), f.history.formattedStorageSize());
        f.history.setItems({});
        view->setSearchText({});
        QCOMPARE(view->visibleEmptyState()->text(), u"No captures yet"_s);
        QCOMPARE(view->itemCountLabel()->text(), u"0 items"_s);
    }

    void escapeAndReopening()
    {
        Fixture f({u"alpha"_s, u"beta"_s});
        HistoryView* view = f.view();
        auto narrow = [&] {
            view->setSearchText(u"alp"_s);
            view->showDetail(f.history.items().at(0));
        };
        narrow();
        f.window->close();
        f.window->show();
        // Reopened: empty search, no sheet, typing goes to the search.
        QVERIFY(view->searchText().isEmpty() && !view->selectedItem());
        QTRY_VERIFY(view->searchField()->hasFocus());
        // Escape closes the sheet, then clears the search, then the window.
        narrow();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!view->selectedItem());
        QCOMPARE(view->searchText(), u"alp"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(view->searchText().isEmpty() && f.window->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!f.window->isVisible());
    }

    void mailto_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("reserved characters") << u"a&b=c+d #1 ?x %20 é"_s;
        QTest::newRow("line breaks") << u"one\ntwo\r\nthree"_s;
        QTest::newRow("too long: cut between characters") << u"\U0001F600"_s.repeated(1000);
    }
    void mailto()
    {
        QFETCH(QString, text);
        const QUrl url = HistoryDetailView::mailtoUrl(text);
        QVERIFY(url.isValid() && url.toEncoded().size() <= HistoryDetailView::maxMailtoLength);
        QString body = QUrlQuery(url).queryItemValue(u"body"_s, QUrl::FullyDecoded);
        QString expected = text;
        expected.replace(u"\r\n"_s, u"\n"_s).replace(u'\n', u"\r\n"_s);
        if (body.endsWith(u"(shortened)")) {
            body.truncate(body.indexOf(u'\r'));
            QVERIFY(body.size() > 100 && body.size() % 2 == 0); // no emoji split
            expected.truncate(body.size());
        }
        QCOMPARE(body, expected);
    }

    void shareSavesAndOpens()
    {
        const QString text = u"Grüße, 世界\nzweite Zeile"_s;
        Fixture f({text});
        HistoryView* view = f.view();
        view->showDetail(f.history.items().at(0));
        const QList<QAction*> actions = view->detailView()->shareMenu()->actions();
        actions.at(1)->trigger(); // save as a text file
        actions.at(2)->trigger(); // open in the text editor: a private copy
        const QString temp = f.opened.value(0).toLocalFile();
        QVERIFY(temp.startsWith(AppPaths::privateTempDir() + u'/'));
        QCOMPARE(fileMode(temp), 0600);
        for (const QString& path : {f.env.root() + u"/saved.txt"_s, temp}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), text.toUtf8());
        }
        actions.at(3)->trigger(); // e-mail
        QCOMPARE(f.opened.value(1), HistoryDetailView::mailtoUrl(text));
        actions.at(0)->trigger();
        QCOMPARE(f.clipboard.current, text);
        QVERIFY(view->selectedItem()); // only the sheet's own Copy closes it
    }
};

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"
