#include "FileMode.h"
#include "MemoryClipboard.h"
#include "MemorySecretStore.h"
#include "TestEnvironment.h"
#include "common/AppPaths.h"
#include "common/Clock.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"
#include "views/HistoryDetailView.h"
#include "views/HistoryListModel.h"
#include "views/HistoryRow.h"
#include "views/HistoryView.h"
#include "views/HistoryWindow.h"
#include "views/RelativeTimeFormatter.h"
#include "views/StatLabel.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 4, 10), QTime(12, 0), Qt::LocalTime);

// One user's history as the window sees it: a real service over preferences
// in a temporary directory and an in-memory keyring.
struct Fixture
{
    QTemporaryDir dir;
    std::shared_ptr<MemorySecretStore> keyring = std::make_shared<MemorySecretStore>();
    AsyncSecretStore secrets{keyring};
    ManualClock clock{kNow};
    EncryptionService encryption{secrets};
    HistoryService history{dir.filePath(QStringLiteral("data")), encryption, clock};
    MemoryClipboard clipboard;
    // Answers of the alert hook: title, message and the pending reply.
    QString alertTitle;
    QString alertMessage;
    std::function<void(bool)> alertReply;
    QList<QUrl> opened;
    QString savePath;

    HistoryViewHooks hooks()
    {
        HistoryViewHooks h;
        h.confirm = [this](const QString& title, const QString& message,
                           std::function<void(bool)> done) {
            alertTitle = title;
            alertMessage = message;
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
        return v;
    }

    HistoryItem item(const QString& text, qint64 minutesAgo = 0, bool synced = false,
                     const QString& device = QStringLiteral("Work Laptop"))
    {
        HistoryItem i = HistoryItem::create(text, kNow.addSecs(-60 * minutesAgo), device);
        i.isSynced = synced;
        return i;
    }

    // The history as the next start of the application reads it.
    QStringList storedTexts()
    {
        (void)QTest::qWaitFor([this] { return !history.hasUnsavedChanges(); });
        EncryptionService enc(secrets);
        HistoryService reread(dir.filePath(QStringLiteral("data")), enc, clock);
        (void)QTest::qWaitFor(
            [&reread] { return reread.storage() != HistoryService::Storage::loading; });
        QStringList texts;
        for (const HistoryItem& i : reread.items()) {
            texts.append(i.text);
        }
        return texts;
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

QPoint pointOf(const HistoryView& view, int row, HistoryRow::Part part)
{
    const QRect rect = view.listView()->visualRect(view.listModel()->index(row));
    if (part == HistoryRow::Part::Body) {
        return rect.topLeft() + QPoint(60, rect.height() / 2);
    }
    return HistoryRow::buttonRect(rect, part).center();
}

void click(HistoryView& view, int row, HistoryRow::Part part)
{
    QTest::mouseClick(view.listView()->viewport(), Qt::LeftButton, {}, pointOf(view, row, part));
}

} // namespace

class TestHistoryView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_env = std::make_unique<TestEnvironment>(); }

    void relativeTime_data()
    {
        QTest::addColumn<qint64>("secondsAgo");
        QTest::addColumn<QString>("expected");
        const qint64 min = 60, hr = 3600, day = 86400;
        QTest::newRow("same instant") << qint64(0) << QStringLiteral("now");
        QTest::newRow("1 s") << qint64(1) << QStringLiteral("1 sec. ago");
        QTest::newRow("59 s") << qint64(59) << QStringLiteral("59 sec. ago");
        QTest::newRow("60 s") << min << QStringLiteral("1 min. ago");
        QTest::newRow("5 min 59 s truncates") << 6 * min - 1 << QStringLiteral("5 min. ago");
        QTest::newRow("59 min") << 59 * min << QStringLiteral("59 min. ago");
        QTest::newRow("1 hr") << hr << QStringLiteral("1 hr. ago");
        QTest::newRow("23 hr") << 23 * hr + 59 * min << QStringLiteral("23 hr. ago");
        QTest::newRow("24 hr") << day << QStringLiteral("1 day ago");
        QTest::newRow("6 days") << 6 * day << QStringLiteral("6 days ago");
        QTest::newRow("7 days") << 7 * day << QStringLiteral("1 wk. ago");
        QTest::newRow("29 days") << 29 * day << QStringLiteral("4 wk. ago");
        QTest::newRow("30 days") << 30 * day << QStringLiteral("1 mo. ago");
        QTest::newRow("364 days") << 364 * day << QStringLiteral("12 mo. ago");
        QTest::newRow("365 days") << 365 * day << QStringLiteral("1 yr. ago");
        QTest::newRow("future 30 s") << qint64(-30) << QStringLiteral("in 30 sec.");
        QTest::newRow("future 5 min") << -5 * min << QStringLiteral("in 5 min.");
        QTest::newRow("future 1 day") << -day << QStringLiteral("in 1 day");
        QTest::newRow("future 3 days") << -3 * day << QStringLiteral("in 3 days");
    }
    void relativeTime()
    {
        QFETCH(qint64, secondsAgo);
        QFETCH(QString, expected);
        QCOMPARE(RelativeTimeFormatter::shortText(kNow.addSecs(-secondsAgo), kNow), expected);
    }
    void relativeTimeOfInvalidInstantIsEmpty()
    {
        QVERIFY(RelativeTimeFormatter::shortText(QDateTime(), kNow).isEmpty());
        QVERIFY(RelativeTimeFormatter::shortText(kNow, QDateTime()).isEmpty());
    }

    void search_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("capitals find mixed case")
            << QStringLiteral("QUARTERLY") << QStringList{QStringLiteral("The Quarterly report")};
        QTest::newRow("non-ASCII letters fold")
            << QStringLiteral("MÜLLER") << QStringList{QStringLiteral("Dr. Müller, Praxis")};
        QTest::newRow("device name is not searched") << QStringLiteral("ThinkPad") << QStringList{};
        QTest::newRow("date is not searched") << QStringLiteral("2026") << QStringList{};
        QTest::newRow("shared word, newest first")
            << QStringLiteral("r")
            << QStringList{QStringLiteral("The Quarterly report"),
                           QStringLiteral("Dr. Müller, Praxis")};
    }
    void search()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        Fixture f;
        f.history.setItems(
            {f.item(QStringLiteral("Dr. Müller, Praxis"), 30, true, QStringLiteral("ThinkPad")),
             f.item(QStringLiteral("The Quarterly report"), 5, true, QStringLiteral("ThinkPad"))});
        auto view = f.view();
        view->searchField()->setText(search);
        QCOMPARE(shownTexts(*view), expected);
        // The header counts the whole history, not the matches.
        QCOMPARE(view->itemCountLabel()->text(), QStringLiteral("2 items"));
        QLabel* empty = view->visibleEmptyState();
        QCOMPARE(empty != nullptr, expected.isEmpty());
        if (empty) {
            QCOMPARE(empty->text(), QStringLiteral("No matching captures"));
        }
    }

    void emptyHistory()
    {
        Fixture f;
        auto view = f.view();
        QCOMPARE(view->itemCountLabel()->text(), QStringLiteral("0 items"));
        QCOMPARE(view->sizeLabel()->text(), QStringLiteral("0 bytes size"));
        QVERIFY(view->visibleEmptyState());
        QCOMPARE(view->visibleEmptyState()->text(), QStringLiteral("No captures yet"));
        QVERIFY(!view->clearAllButton()->isEnabled());
    }

    void sortIsNewestFirstAndStable()
    {
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("old"), 90), f.item(QStringLiteral("tie A"), 10),
                            f.item(QStringLiteral("new"), 1), f.item(QStringLiteral("tie B"), 10)});
        auto view = f.view();
        QCOMPARE(shownTexts(*view), (QStringList{QStringLiteral("new"), QStringLiteral("tie A"),
                                                 QStringLiteral("tie B"), QStringLiteral("old")}));
    }

    void preview_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString fifty = QString(50, u'x');
        QTest::newRow("50 characters in full") << fifty << fifty;
        QTest::newRow("51 characters cut") << fifty + u'y' << fifty + QStringLiteral("...");
        // Each "e" + combining acute is one character: 50 of them fit.
        const QString accented = QStringLiteral("e\u0301").repeated(50);
        QTest::newRow("combining marks count once") << accented << accented;
        const QString flags = QStringLiteral("\U0001F1EB\U0001F1F7").repeated(51);
        QTest::newRow("51 flags cut between flags")
            << flags << flags.left(50 * 4) + QStringLiteral("...");
    }
    void preview()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        Fixture f;
        f.history.setItems({f.item(text)});
        auto view = f.view();
        QCOMPARE(view->listModel()->index(0).data(HistoryListModel::PreviewRole).toString(),
                 expected);
    }

    void deviceShownOnlyForSynced()
    {
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("one two"), 5, true, QStringLiteral("Studio")),
                            f.item(QStringLiteral("local"), 10, false, QStringLiteral("Desk"))});
        auto view = f.view();
        QCOMPARE(HistoryRow::detailTexts(view->listModel()->index(0), kNow),
                 (QStringList{QStringLiteral("2 words"), QStringLiteral("5 min. ago"),
                              QStringLiteral("Studio")}));
        QCOMPARE(HistoryRow::detailTexts(view->listModel()->index(1), kNow),
                 (QStringList{QStringLiteral("1 words"), QStringLiteral("10 min. ago")}));

        view->showDetail(f.history.items().at(0));
        QCOMPARE(view->detailView()->statTexts().size(), 4);
        QCOMPARE(view->detailView()->statTexts().last(), QStringLiteral("Studio"));
        view->showDetail(f.history.items().at(1));
        const QStringList local = view->detailView()->statTexts();
        QCOMPARE(local.mid(0, 2),
                 (QStringList{QStringLiteral("5 characters"), QStringLiteral("1 words")}));
        QCOMPARE(local.size(), 3);
        QVERIFY(!local.contains(QStringLiteral("Desk")));
    }

    void deleteFromRow()
    {
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("first"), 1), f.item(QStringLiteral("second"), 2),
                            f.item(QStringLiteral("third"), 3)});
        f.history.saveHistory();
        auto view = f.view();
        click(*view, 1, HistoryRow::Part::DeleteButton);
        QCOMPARE(shownTexts(*view),
                 (QStringList{QStringLiteral("first"), QStringLiteral("third")}));
        QCOMPARE(view->itemCountLabel()->text(), QStringLiteral("2 items"));
        QVERIFY(!view->selectedItem()); // the button does not open the sheet
        QCOMPARE(f.storedTexts(), (QStringList{QStringLiteral("first"), QStringLiteral("third")}));
    }

    void copyFromRowReplacesClipboard()
    {
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("captured words"))});
        f.clipboard.current = QStringLiteral("already there");
        auto view = f.view();
        click(*view, 0, HistoryRow::Part::CopyButton);
        QCOMPARE(f.clipboard.current, std::optional<QString>(QStringLiteral("captured words")));
        QVERIFY(!view->selectedItem());
        QCOMPARE(HistoryRow::toolTip(HistoryRow::Part::CopyButton), QStringLiteral("Copy"));
        QCOMPARE(HistoryRow::toolTip(HistoryRow::Part::DeleteButton), QStringLiteral("Delete"));
    }

    void clickOpensSheetAndCopyDismisses()
    {
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("line one\nline two"))});
        f.clipboard.current = QStringLiteral("old");
        auto view = f.view();
        click(*view, 0, HistoryRow::Part::Body);
        QVERIFY(view->selectedItem());
        HistoryDetailView* sheet = view->detailView();
        QCOMPARE(sheet->textView()->toPlainText(), QStringLiteral("line one\nline two"));
        QVERIFY(sheet->textView()->isReadOnly());
        QTest::mouseClick(sheet->copyButton(), Qt::LeftButton);
        QCOMPARE(f.clipboard.current, std::optional<QString>(QStringLiteral("line one\nline two")));
        QTRY_VERIFY(!view->selectedItem());
        // Done only dismisses.
        click(*view, 0, HistoryRow::Part::Body);
        f.clipboard.current.reset();
        QTest::mouseClick(view->detailView()->doneButton(), Qt::LeftButton);
        QTRY_VERIFY(!view->selectedItem());
        QVERIFY(!f.clipboard.current);
    }

    void clearAll_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("Clear") << true;
        QTest::newRow("Cancel") << false;
    }
    void clearAll()
    {
        QFETCH(bool, confirm);
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("a")), f.item(QStringLiteral("b")),
                            f.item(QStringLiteral("c"))});
        f.history.saveHistory();
        auto view = f.view();
        QTest::mouseClick(view->clearAllButton(), Qt::LeftButton);
        QCOMPARE(f.alertTitle, QStringLiteral("Clear All History?"));
        QCOMPARE(
            f.alertMessage,
            QStringLiteral("This will delete all 3 captured items. This action cannot be undone."));
        QCOMPARE(f.history.items().size(), 3); // nothing happens before the answer
        f.alertReply(confirm);
        QCOMPARE(f.history.items().size(), confirm ? 0 : 3);
        QCOMPARE(f.storedTexts().size(), confirm ? 0 : 3);
        QCOMPARE(view->visibleEmptyState() != nullptr, confirm);
    }
    void clearAllAnswerAfterViewIsGone()
    {
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("a"))});
        auto view = f.view();
        view->requestClearAll();
        view.reset();
        f.alertReply(true); // the window closed meanwhile: nothing happens
        QCOMPARE(f.history.items().size(), 1);
    }

    void liveUpdate()
    {
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("older"), 5)});
        auto view = f.view();
        view->setSearchText(QStringLiteral("e"));
        f.history.insert(0, f.item(QStringLiteral("arrived from sync"), 0, true));
        QCOMPARE(shownTexts(*view),
                 (QStringList{QStringLiteral("arrived from sync"), QStringLiteral("older")}));
        QCOMPARE(view->itemCountLabel()->text(), QStringLiteral("2 items"));
        QCOMPARE(view->sizeLabel()->value(), f.history.formattedStorageSize());
        f.history.setItems({});
        QCOMPARE(view->visibleEmptyState()->text(), QStringLiteral("No matching captures"));
    }

    void reopeningStartsClean()
    {
        Fixture f;
        f.history.setItems({f.item(QStringLiteral("alpha")), f.item(QStringLiteral("beta"), 1)});
        HistoryWindow window(f.history, f.clipboard, f.hooks());
        QCOMPARE(window.windowTitle(), QStringLiteral("Capture History"));
        QCOMPARE(window.size(), QSize(600, 500));
        window.show();
        window.view()->setSearchText(QStringLiteral("alp"));
        window.view()->showDetail(f.history.items().at(0));
        window.close();
        window.show();
        QVERIFY(window.view()->searchText().isEmpty());
        QVERIFY(!window.view()->selectedItem());
        QCOMPARE(window.view()->listModel()->rowCount(), 2);
    }

    void footerShowsOnceFilled()
    {
        Fixture f;
        auto view = f.view();
        QVERIFY(!view->footer()->isVisible());
        view->footer()->layout()->addWidget(new QLabel(QStringLiteral("sync"), view->footer()));
        QTRY_VERIFY(view->footer()->isVisible());
    }

    void mailto_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("reserved characters") << QStringLiteral("a&b=c+d #1 ?x %20 é");
        QTest::newRow("line breaks") << QStringLiteral("one\ntwo\r\nthree");
        QTest::newRow("emoji") << QStringLiteral("\U0001F600 ok");
    }
    void mailto()
    {
        QFETCH(QString, text);
        const QUrl url = HistoryDetailView::mailtoUrl(text);
        QVERIFY(url.isValid());
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QString expected = text;
        expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        expected.replace(u'\n', QStringLiteral("\r\n"));
        QCOMPARE(QUrlQuery(url).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
                 expected);
    }
    void mailtoOfLongTextIsShortenedBetweenCharacters()
    {
        // Emoji are two UTF-16 units and 12 encoded bytes: a cut must not split one.
        const QString text = QStringLiteral("\U0001F600").repeated(1000);
        const QUrl url = HistoryDetailView::mailtoUrl(text);
        QVERIFY(url.toEncoded().size() <= HistoryDetailView::maxMailtoLength);
        const QString body =
            QUrlQuery(url).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
        QVERIFY(body.endsWith(QStringLiteral("(shortened)")));
        const QString kept = body.left(body.indexOf(u'\r'));
        QVERIFY(kept.size() > 100);
        QCOMPARE(kept, text.left(kept.size()));
        QVERIFY(kept.size() % 2 == 0);
    }

    void shareSavesAndOpens()
    {
        Fixture f;
        const QString text = QStringLiteral("Grüße, 世界\nzweite Zeile");
        f.history.setItems({f.item(text)});
        auto view = f.view();
        view->showDetail(f.history.items().at(0));
        HistoryDetailView* sheet = view->detailView();
        const QList<QAction*> actions = sheet->shareMenu()->actions();
        QStringList names;
        for (QAction* a : actions) {
            names.append(a->text());
        }
        QCOMPARE(names, (QStringList{QStringLiteral("Copy"), QStringLiteral("Save as Text File..."),
                                     QStringLiteral("Open in Text Editor"),
                                     QStringLiteral("Send by E-mail")}));

        f.savePath = f.dir.filePath(QStringLiteral("saved.txt"));
        actions.at(1)->trigger();
        QFile saved(f.savePath);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), text.toUtf8());

        actions.at(2)->trigger();
        QCOMPARE(f.opened.size(), 1);
        const QString temp = f.opened.at(0).toLocalFile();
        QVERIFY(temp.startsWith(AppPaths::privateTempDir() + u'/'));
        QCOMPARE(fileMode(temp), 0600);
        QFile opened(temp);
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(opened.readAll(), text.toUtf8());

        actions.at(3)->trigger();
        QCOMPARE(f.opened.size(), 2);
        QCOMPARE(f.opened.at(1), HistoryDetailView::mailtoUrl(text));

        f.clipboard.current = QStringLiteral("old");
        actions.at(0)->trigger();
        QCOMPARE(f.clipboard.current, std::optional<QString>(text));
        QVERIFY(view->selectedItem()); // only the sheet's own Copy dismisses it
    }

    void thousandCapturesOpenQuickly()
    {
        Fixture f;
        QList<HistoryItem> items;
        for (int i = 0; i < 1000; ++i) {
            items.append(f.item(QStringLiteral("Capture number %1 with some recognised text that "
                                               "runs past the preview length")
                                    .arg(i),
                                i, i % 3 == 0));
        }
        f.history.setItems(items);
        QElapsedTimer timer;
        timer.start();
        HistoryWindow window(f.history, f.clipboard, f.hooks());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.grab(); // forces a full paint of the visible rows
        const qint64 openMs = timer.elapsed();
        timer.restart();
        window.view()->setSearchText(QStringLiteral("NUMBER 99"));
        window.grab();
        const qint64 searchMs = timer.elapsed();
        qInfo("1000 captures: window shown and painted in %lld ms, search in %lld ms", openMs,
              searchMs);
        QCOMPARE(window.view()->listModel()->rowCount(), 11); // 99, 990..999
        QVERIFY2(openMs < 1500, "opening the window with 1000 captures is too slow");
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"
