#include "feedback/AlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QThread>

#include <memory>
#include <optional>

namespace {
QList<QMessageBox*> shownBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            boxes.append(box);
        }
    }
    return boxes;
}

// What the box's labels show, read as a user would.
QStringList shownTexts(const QMessageBox* box)
{
    QStringList texts;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        const bool rich =
            label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        QTextDocument document;
        rich ? document.setHtml(label->text()) : document.setPlainText(label->text());
        texts.append(document.toPlainText());
    }
    return texts;
}

QStringList buttonTexts(const QMessageBox* box)
{
    QStringList texts;
    for (const QAbstractButton* button : box->buttons()) {
        texts.append(button->text());
    }
    return texts;
}
} // namespace

class TestAlertPresenter : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void scriptedAnswersShowNoWindow();
    void oneAtATimeWithTextShownAsIs();
    void answers_data();
    void answers();
    void askFromWorkerThread();
    void presenterGoneBeforeAnswer();
};

void TestAlertPresenter::cleanup()
{
    for (QMessageBox* box : shownBoxes()) {
        box->close();
    }
}

void TestAlertPresenter::scriptedAnswersShowNoWindow()
{
    AlertPresenter presenter;
    presenter.setNextAnswer(1);
    presenter.setNextAnswer(0);
    QList<int> answers;
    const QStringList buttons{QStringLiteral("Clear"), QStringLiteral("Cancel")};
    for (auto style : {AlertPresenter::Style::information, AlertPresenter::Style::warning}) {
        presenter.ask(QStringLiteral("Title"), QStringLiteral("why"), buttons, 0, style,
                      [&answers](int index) { answers.append(index); });
    }
    // Nothing happens before the caller is back in the event loop.
    QVERIFY(presenter.log().isEmpty());
    QTRY_COMPARE(answers, (QList<int>{1, 0}));
    QVERIFY(shownBoxes().isEmpty());
    QCOMPARE(presenter.log().size(), 2);
    QCOMPARE(presenter.log().at(0).buttons, buttons);
    QCOMPARE(presenter.log().at(1).style, AlertPresenter::Style::warning);
    // The script is used up: the next alert is a window again.
    presenter.showInformation(QStringLiteral("No Text Found"), QString());
    QTRY_COMPARE(shownBoxes().size(), 1);
}

void TestAlertPresenter::oneAtATimeWithTextShownAsIs()
{
    AlertPresenter presenter;
    // Text from elsewhere (a server's error) is shown as it is, never as markup.
    const QString title = QStringLiteral("Copy <b>Failed</b>");
    const QString message = QStringLiteral("<a href=\"http://x\">details</a> & <i>more</i>");
    std::optional<int> first;
    presenter.ask(title, message, {}, 0, AlertPresenter::Style::information,
                  [&](int i) { first = i; });
    presenter.showInformation(QStringLiteral("Second"), QString());
    QTRY_COMPARE(shownBoxes().size(), 1);
    QTest::qWait(100);
    QCOMPARE(shownBoxes().size(), 1);
    QMessageBox* box = shownBoxes().first();
    QCOMPARE(box, presenter.currentBox());
    QCOMPARE(box->icon(), QMessageBox::Information);
    QVERIFY(shownTexts(box).contains(title));
    QVERIFY(shownTexts(box).contains(message));
    QCOMPARE(buttonTexts(box), QStringList{QStringLiteral("OK")});

    box->buttons().first()->click();
    QCOMPARE(first, std::optional<int>(0));
    QTRY_VERIFY(shownBoxes().size() == 1 && shownBoxes().first() != box);
    QVERIFY(shownTexts(shownBoxes().first()).contains(QStringLiteral("Second")));
    QCOMPARE(presenter.log().size(), 2);
}

void TestAlertPresenter::answers_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("defaultIndex");
    QTest::addColumn<int>("expected");
    QTest::newRow("click") << "Two" << 0 << 1;
    QTest::newRow("return takes the default") << "Return" << 1 << 1;
    QTest::newRow("escape takes the last") << "Escape" << 0 << 2;
    QTest::newRow("default out of range is clamped") << "Return" << 7 << 2;
}

void TestAlertPresenter::answers()
{
    QFETCH(QString, action);
    QFETCH(int, defaultIndex);
    QFETCH(int, expected);
    AlertPresenter presenter;
    std::optional<int> answer;
    const QStringList buttons{QStringLiteral("One"), QStringLiteral("Two"),
                              QStringLiteral("Three")};
    presenter.ask(QStringLiteral("Choose"), QString(), buttons, defaultIndex,
                  AlertPresenter::Style::warning, [&](int i) { answer = i; });
    QTRY_COMPARE(shownBoxes().size(), 1);
    QMessageBox* box = shownBoxes().first();
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QCOMPARE(buttonTexts(box), buttons); // in the order given
    if (const qsizetype i = buttons.indexOf(action); i >= 0) {
        box->buttons().at(i)->click();
    } else {
        QTest::keyClick(box, action == QLatin1String("Return") ? Qt::Key_Return : Qt::Key_Escape);
    }
    QTRY_COMPARE(answer, std::optional<int>(expected));
}

void TestAlertPresenter::askFromWorkerThread()
{
    AlertPresenter presenter;
    QThread* answeredOn = nullptr;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        presenter.ask(QStringLiteral("From a worker"), QString(), {}, 0,
                      AlertPresenter::Style::information,
                      [&](int) { answeredOn = QThread::currentThread(); });
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QTRY_COMPARE(shownBoxes().size(), 1);
    QCOMPARE(shownBoxes().first()->thread(), qApp->thread());
    shownBoxes().first()->buttons().first()->click();
    QTRY_COMPARE(answeredOn, qApp->thread());
}

void TestAlertPresenter::presenterGoneBeforeAnswer()
{
    bool answered = false;
    QPointer<QMessageBox> box;
    {
        AlertPresenter presenter;
        presenter.ask(QStringLiteral("Short-lived"), QString(), {}, 0,
                      AlertPresenter::Style::information, [&](int) { answered = true; });
        presenter.showInformation(QStringLiteral("Still queued"), QString());
        QTRY_VERIFY(presenter.currentBox());
        box = presenter.currentBox();
    }
    // Its alert goes with it, the queued one is dropped, nobody is called.
    QVERIFY(box.isNull());
    QTest::qWait(50);
    QVERIFY(!answered);
    QVERIFY(shownBoxes().isEmpty());
}

QTEST_MAIN(TestAlertPresenter)
#include "tst_alertpresenter.moc"
