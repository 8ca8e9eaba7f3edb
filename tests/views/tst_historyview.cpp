#include "FileMode.h"
#include "ViewsFixture.h"
#include "common/AppPaths.h"
#include "views/HistoryDetailView.h"
#include "views/HistoryListModel.h"
#include "views/HistoryRow.h"
#include "views/HistoryWindow.h"
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

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct Fixture : ViewsFixture
{
    // The pending "Clear All" question, answered by the test.
    QString alertMessage;
    std::function<void(bool)> alertReply;
    QList<QUrl> opened;
    QString savePath;

    HistoryViewHooks hooks()
    {
        HistoryViewHooks h;
        h.confirm = [this](const QString& title, const QString& message,
                           std::function<void(bool)> done) {
            alertMessage = title + u'|' + message;
            alertReply = std::move(done);
        };
        h.share.openUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        h.share.chooseSaveFile = [this](QWidget*, const QString&,
                                        std::function<void(const QString&)> done) {
            done(savePath);
        };
        h.share.showError = [](QWidget*, const QString& title, const QString&) {
            QFAIL(qPrintable(title));
        };
        return h;
    }

    std::unique_ptr<HistoryView> view()
    {
        auto v = std::make_unique<HistoryView>(history, clipboard, hooks(), clock);
        v->resize(600, 500);
        v->show();
        [&] { QVERIFY(QTest::qWaitForWindowActive(v.get())); }();
        return v;
    }
};

QStringList shownTexts(const HistoryView& view)
{
    QStringList texts;
    for (const HistoryItem& i : view.listModel()->items()) {
        texts.append(i.text);
    }
    return texts;
}

void click(HistoryView& view, int row, HistoryRow::Part part)
{
    const QRect rect = view.listView()->visualRect(view.listModel()->index(row));
    const QPoint at = part == HistoryRow::Part::Body ? rect.topLeft() + QPoint(60, 10)
                                                     : HistoryRow::buttonRect(rect, part).center();
    QTest::mouseClick(view.listView()->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class TestHistoryView : public QObject
{
    Q_OBJECT

private slots:
    void relativeTime_data()
    {
        QTest::addColumn<qint64>("secondsAgo");
        QTest::addColumn<QString>("expected");
        const qint64 min = 60, hr = 3600, day = 86400;
        QTest::newRow("same instant") << qint64(0) << u"now"_s;
        QTest::newRow("59 s") << qint64(59) << u"59 sec. ago"_s;
        QTest::newRow("60 s") << min << u"1 min. ago"_s;
        QTest::newRow("truncated, not rounded") << 6 * min - 1 << u"5 min. ago"_s;
        QTest::newRow("23 hr 59 min") << 23 * hr + 59 * min << u"23 hr. ago"_s;
        QTest::newRow("24 hr") << day << u"1 day ago"_s;
        QTest::newRow("6 days") << 6 * day << u"6 days ago"_s;
        QTest::newRow("7 days") << 7 * day << u"1 wk. ago"_s;
        QTest::newRow("30 days") << 30 * day << u"1 mo. ago"_s;
        QTest::newRow("364 days") << 364 * day << u"12 mo. ago"_s;
        QTest::newRow("365 days") << 365 * day << u"1 yr. ago"_s;
        QTest::newRow("clock ahead 30 s") << qint64(-30) << u"in 30 sec."_s;
        QTest::newRow("clock ahead 1 day") << -day << u"in 1 day"_s;
        QTest::newRow("clock ahead 3 days") << -3 * day << u"in 3 days"_s;
    }
    void relativeTime()
    {
        QFETCH(qint64, secondsAgo);
        QFETCH(QString, expected);
        QCOMPARE(RelativeTimeFormatter::shortText(kNow.addSecs(-secondsAgo), kNow), expected);
        QVERIFY(RelativeTimeFormatter::shortText(QDateTime(), kNow).isEmpty());
    }

    void search_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("capitals find mixed case")
            << u"QUARTERLY"_s << QStringList{u"The Quarterly report"_s};
        QTest::newRow("non-ASCII letters fold") << u"MÜLLER"_s << QStringList{u"Dr. Müller"_s};
        QTest::newRow("device name is not searched") << u"ThinkPad"_s << QStringList{};
        QTest::newRow("date is not searched") << u"2026"_s << QStringList{};
        QTest::newRow("newest first")
            << u"r"_s << QStringList{u"The Quarterly report"_s, u"Dr. Müller"_s};
    }
    void search()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        Fixture f;
        f.history.setItems({f.item(u"Dr. Müller"_s, 30, true, u"ThinkPad"_s),
                            f.item(u"The Quarterly report"_s, 5, true, u"ThinkPad"_s)});
        auto view = f.view();
        view->searchField()->setText(search);
        QCOMPARE(shownTexts(*view), expected);
        // The header counts the whole history, not the matches.
        QCOMPARE(view->itemCountLabel()->text(), u"2 items"_s);
        QLabel* empty = view->visibleEmptyState();
        QCOMPARE(empty ? empty->text() : QString(),
                 expected.isEmpty() ? u"No matching captures"_s : QString());
    }

    void emptyHistory()
    {
        Fixture f;
        auto view = f.view();
        QCOMPARE(view->itemCountLabel()->text(), u"0 items"_s);
        QCOMPARE(view->visibleEmptyState()->text(), u"No captures yet"_s);
        QVERIFY(!view->clearAllButton()->isEnabled());
    }

    void sortIsNewestFirstAndStable()
    {
        // Enough captures of one instant for an unstable sort to reorder them.
        Fixture f;
        QList<HistoryItem> items{f.item(u"old"_s, 90)};
        QStringList expected{u"new"_s};
        for (int i = 0; i < 40; ++i) {
            items.append(f.item(QString::number(i), 10));
            expected.append(QString::number(i));
        }
        items.insert(20, f.item(u"new"_s, 1));
        f.history.setItems(items);
        QCOMPARE(shownTexts(*f.view()), expected << u"old"_s);
    }

    void previewCutsAfterFiftyCharacters()
    {
        Fixture f;
        const QString fifty(50, u'x');
        f.history.setItems({f.item(fifty, 1), f.item(fifty + u'y', 2)});
        auto view = f.view();
        const HistoryListModel* model = view->listModel();
        QCOMPARE(model->index(0).data(HistoryListModel::PreviewRole).toString(), fifty);
        QCOMPARE(model->index(1).data(HistoryListModel::PreviewRole).toString(), fifty + u"..."_s);
    }

    void deviceShownOnlyForSynced()
    {
        Fixture f;
        f.history.setItems(
            {f.item(u"one two"_s, 5, true, u"Studio"_s), f.item(u"local"_s, 10, false, u"Desk"_s)});
        auto view = f.view();
        QCOMPARE(HistoryRow::detailTexts(view->listModel()->index(0), kNow),
                 (QStringList{u"2 words"_s, u"5 min. ago"_s, u"Studio"_s}));
        QCOMPARE(HistoryRow::detailTexts(view->listModel()->index(1), kNow),
                 (QStringList{u"1 words"_s, u"10 min. ago"_s}));
        view->showDetail(f.history.items().at(0));
        QCOMPARE(view->detailView()->statTexts().size(), 4);
        QCOMPARE(view->detailView()->statTexts().last(), u"Studio"_s);
        view->showDetail(f.history.items().at(1));
        QCOMPARE(view->detailView()->statTexts().mid(0, 2),
                 (QStringList{u"5 characters"_s, u"1 words"_s}));
        QCOMPARE(view->detailView()->statTexts().size(), 3);
    }

    // The row "second" acted on by pointer or keyboard.
    void rowActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<bool>("sheet");
        const QStringList all{u"first"_s, u"second"_s, u"third"_s};
        const QStringList deleted{u"first"_s, u"third"_s};
        QTest::newRow("Delete button") << u"delete"_s << deleted << u"old"_s << false;
        QTest::newRow("Delete key") << u"Del"_s << deleted << u"old"_s << false;
        QTest::newRow("Copy button") << u"copy"_s << all << u"second"_s << false;
        QTest::newRow("Ctrl+C") << u"Ctrl+C"_s << all << u"second"_s << false;
        QTest::newRow("click on the row") << u"body"_s << all << u"old"_s << true;
        QTest::newRow("Return") << u"Return"_s << all << u"old"_s << true;
    }
    void rowActions()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, shown);
        QFETCH(QString, clipboard);
        QFETCH(bool, sheet);
        Fixture f;
        f.history.setItems({f.item(u"first"_s, 1), f.item(u"second"_s, 2), f.item(u"third"_s, 3)});
        f.history.saveHistory();
        f.clipboard.current = u"old"_s;
        auto view = f.view();
        QListView* list = view->listView();
        list->setFocus();
        list->setCurrentIndex(view->listModel()->index(1));
        if (action == u"delete") {
            click(*view, 1, HistoryRow::Part::DeleteButton);
        } else if (action == u"copy") {
            click(*view, 1, HistoryRow::Part::CopyButton);
        } else if (action == u"body") {
            click(*view, 1, HistoryRow::Part::Body);
        } else {
            QTest::keySequence(list, QKeySequence(action));
        }
        QCOMPARE(shownTexts(*view), shown);
        QCOMPARE(f.storedTexts(), shown);
        QCOMPARE(f.clipboard.current, clipboard);
        QCOMPARE(view->selectedItem().has_value(), sheet);
        if (sheet) {
            QCOMPARE(view->detailView()->textView()->toPlainText(), u"second"_s);
        }
    }

    void sheetCloses_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("copied");
        QTest::newRow("Copy button") << u"copy"_s << true;
        QTest::newRow("Return on Copy, focused on opening") << u"Return"_s << true;
        QTest::newRow("Done button") << u"done"_s << false;
        QTest::newRow("Escape") << u"Escape"_s << false;
    }
    void sheetCloses()
    {
        QFETCH(QString, how);
        QFETCH(bool, copied);
        Fixture f;
        f.history.setItems({f.item(u"line one\nline two"_s)});
        auto view = f.view();
        click(*view, 0, HistoryRow::Part::Body);
        HistoryDetailView* sheet = view->detailView();
        QVERIFY(sheet->textView()->isReadOnly());
        if (how == u"copy" || how == u"done") {
            QTest::mouseClick(how == u"copy" ? sheet->copyButton() : sheet->doneButton(),
                              Qt::LeftButton);
        } else {
            QTest::keySequence(QApplication::focusWidget(), QKeySequence(how));
        }
        QTRY_VERIFY(!view->selectedItem());
        QCOMPARE(f.clipboard.current.has_value(), copied);
        QVERIFY(view->isVisible());
    }

    void clearAll_data()
    {
        QTest::addColumn<int>("answer"); // 0 Cancel, 1 Clear; 2 Escape, 3 Return in our own dialog
        QTest::addColumn<bool>("cleared");
        QTest::newRow("Clear") << 1 << true;
        QTest::newRow("Cancel") << 0 << false;
        QTest::newRow("built-in dialog, Return: Clear") << 3 << true;
        QTest::newRow("built-in dialog, Escape: Cancel") << 2 << false;
    }
    void clearAll()
    {
        QFETCH(int, answer);
        QFETCH(bool, cleared);
        Fixture f;
        f.history.setItems({f.item(u"a"_s), f.item(u"b"_s), f.item(u"c"_s)});
        f.history.saveHistory();
        HistoryViewHooks hooks = f.hooks();
        if (answer >= 2) {
            hooks.confirm = nullptr;
        }
        HistoryView view(f.history, f.clipboard, hooks, f.clock);
        view.show();
        QTest::mouseClick(view.clearAllButton(), Qt::LeftButton);
        QCOMPARE(f.history.items().size(), 3); // nothing happens before the answer
        if (answer < 2) {
            QCOMPARE(f.alertMessage, u"Clear All History?|This will delete all 3 captured items. "
                                     u"This action cannot be undone."_s);
            f.alertReply(answer == 1);
        } else {
            QTest::keyClick(view.findChild<QDialog*>(),
                            answer == 3 ? Qt::Key_Return : Qt::Key_Escape);
        }
        QTRY_COMPARE(f.storedTexts().size(), cleared ? 0 : 3);
        QCOMPARE(view.visibleEmptyState() != nullptr, cleared);
    }
    void clearAllAnsweredAfterTheViewIsGone()
    {
        Fixture f;
        f.history.setItems({f.item(u"a"_s)});
        auto view = f.view();
        view->requestClearAll();
        view.reset();
        f.alertReply(true); // the window closed meanwhile: nothing happens
        QCOMPARE(f.history.items().size(), 1);
    }

    void liveUpdate()
    {
        Fixture f;
        f.history.setItems({f.item(u"older"_s, 5)});
        auto view = f.view();
        view->setSearchText(u"e"_s);
        f.history.insert(0, f.item(u"arrived from sync"_s, 0, true));
        QCOMPARE(shownTexts(*view), (QStringList{u"arrived from sync"_s, u"older"_s}));
        QCOMPARE(view->itemCountLabel()->text(), u"2 items"_s);
        QCOMPARE(view->sizeLabel()->value(), f.history.formattedStorageSize());
        f.history.setItems({});
        QCOMPARE(view->visibleEmptyState()->text(), u"No matching captures"_s);
    }

    void escapeAndReopening()
    {
        Fixture f;
        f.history.setItems({f.item(u"alpha"_s), f.item(u"beta"_s, 1)});
        HistoryWindow window(f.history, f.clipboard, f.hooks());
        auto narrow = [&] {
            window.view()->setSearchText(u"alp"_s);
            window.view()->showDetail(f.history.items().at(0));
        };
        window.show();
        narrow();
        window.close();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // Reopened: empty search, no sheet, typing goes to the search.
        QVERIFY(window.view()->searchText().isEmpty());
        QVERIFY(!window.view()->selectedItem());
        QVERIFY(window.view()->searchField()->hasFocus());
        // Escape closes the sheet, then clears the search, then the window.
        narrow();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!window.view()->selectedItem());
        QCOMPARE(window.view()->searchText(), u"alp"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(window.view()->searchText().isEmpty() && window.isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!window.isVisible());
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
        QVERIFY(url.isValid());
        QVERIFY(url.toEncoded().size() <= HistoryDetailView::maxMailtoLength);
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
        Fixture f;
        const QString text = u"Grüße, 世界\nzweite Zeile"_s;
        f.history.setItems({f.item(text)});
        auto view = f.view();
        view->showDetail(f.history.items().at(0));
        const QList<QAction*> actions = view->detailView()->shareMenu()->actions();

        f.savePath = f.env.root() + u"/saved.txt"_s;
        actions.at(1)->trigger();
        QFile saved(f.savePath);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), text.toUtf8());

        actions.at(2)->trigger();
        const QString temp = f.opened.value(0).toLocalFile();
        QVERIFY(temp.startsWith(AppPaths::privateTempDir() + u'/'));
        QCOMPARE(fileMode(temp), 0600);
        QFile opened(temp);
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(opened.readAll(), text.toUtf8());

        actions.at(3)->trigger();
        QCOMPARE(f.opened.value(1), HistoryDetailView::mailtoUrl(text));

        actions.at(0)->trigger();
        QCOMPARE(f.clipboard.current, text);
        QVERIFY(view->selectedItem()); // only the sheet's own Copy dismisses it
    }
};

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"
