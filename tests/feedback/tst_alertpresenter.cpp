#include "feedback/AlertPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <optional>

namespace {
QList<QMessageBox*> visibleBoxes()
{
    QList<QMessageBox*> boxes;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            boxes.append(box);
        }
    }
    return boxes;
}

QStringList buttonTexts(QMessageBox* box)
{
    QStringList texts;
    const auto buttons = box->buttons();
    for (QAbstractButton* button : buttons) {
        texts.append(button->text());
    }
    return texts;
}

QAbstractButton* buttonNamed(QMessageBox* box, const QString& text)
{
    const auto buttons = box->buttons();
    for (QAbstractButton* button : buttons) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}
} // namespace

class TestAlertPresenter : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void scriptedAnswersShowNoWindow();
    void informationIsAsynchronous();
    void alertsComeOneAtATime();
    void keysChoose_data();
    void keysChoose();
    void askFromWorkerThread();
    void presenterGoneBeforeAnswer();
};

void TestAlertPresenter::cleanup()
{
    for (QMessageBox* box : visibleBoxes()) {
        box->close();
    }
}

void TestAlertPresenter::scriptedAnswersShowNoWindow()
{
    AlertPresenter presenter;
    presenter.setNextAnswer(1);
    presenter.setNextAnswer(0);
    QList<int> answers;
    const QStringList buttons{QStringLiteral("Open System Settings"), QStringLiteral("Later")};
    presenter.ask(QStringLiteral("Enable Accessibility Permission"), QStringLiteral("why"), buttons,
                  0, AlertPresenter::Style::information,
                  [&answers](int index) { answers.append(index); });
    presenter.ask(QStringLiteral("Second"), QStringLiteral("again"), buttons, 0,
                  AlertPresenter::Style::warning, [&answers](int index) { answers.append(index); });
    // Nothing happens before the caller is back in the event loop.
    QVERIFY(answers.isEmpty());
    QVERIFY(presenter.log().isEmpty());

    QTRY_COMPARE(answers, (QList<int>{1, 0}));
    QVERIFY(visibleBoxes().isEmpty());
    QCOMPARE(presenter.log().size(), 2);
    QCOMPARE(presenter.log().at(0).title, QStringLiteral("Enable Accessibility Permission"));
    QCOMPARE(presenter.log().at(0).buttons, buttons);
    QCOMPARE(presenter.log().at(1).style, AlertPresenter::Style::warning);

    // The script is used up: the next alert is a real window again.
    presenter.showInformation(QStringLiteral("No Text Found"), QStringLiteral("none"));
    QTRY_COMPARE(visibleBoxes().size(), 1);
}

void TestAlertPresenter::informationIsAsynchronous()
{
    AlertPresenter presenter;
    presenter.showInformation(QStringLiteral("Copy Failed"),
                              QStringLiteral("Failed to copy text to clipboard: details"));
    QVERIFY(visibleBoxes().isEmpty());
    QTRY_COMPARE(visibleBoxes().size(), 1);

    QMessageBox* box = visibleBoxes().first();
    QCOMPARE(box, presenter.currentBox());
    QCOMPARE(box->text(), QStringLiteral("Copy Failed"));
    QCOMPARE(box->informativeText(), QStringLiteral("Failed to copy text to clipboard: details"));
    QCOMPARE(box->icon(), QMessageBox::Information);
    QCOMPARE(buttonTexts(box), QStringList{QStringLiteral("OK")});
    // Message text is never read as markup.
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(presenter.log().size(), 1);

    // The test itself runs on while the alert is up: no nested event loop.
    QPointer<QMessageBox> watched = box;
    buttonNamed(box, QStringLiteral("OK"))->click();
    QTRY_VERIFY(watched.isNull());
    QVERIFY(!presenter.currentBox());
}

void TestAlertPresenter::alertsComeOneAtATime()
{
    AlertPresenter presenter;
    std::optional<int> firstAnswer;
    presenter.ask(QStringLiteral("First"), QString(), {QStringLiteral("OK")}, 0,
                  AlertPresenter::Style::information, [&](int i) { firstAnswer = i; });
    presenter.showInformation(QStringLiteral("Second"), QString());
    QTRY_COMPARE(visibleBoxes().size(), 1);
    QTest::qWait(100);
    QCOMPARE(visibleBoxes().size(), 1);
    QCOMPARE(visibleBoxes().first()->text(), QStringLiteral("First"));
    QCOMPARE(presenter.log().size(), 1);

    buttonNamed(visibleBoxes().first(), QStringLiteral("OK"))->click();
    QCOMPARE(firstAnswer, std::optional<int>(0));
    QTRY_VERIFY(visibleBoxes().size() == 1 &&
                visibleBoxes().first()->text() == QStringLiteral("Second"));
    QCOMPARE(presenter.log().size(), 2);
}

void TestAlertPresenter::keysChoose_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("defaultIndex");
    QTest::addColumn<int>("expected");
    QTest::newRow("return takes the default") << int(Qt::Key_Return) << 0 << 0;
    QTest::newRow("return, second default") << int(Qt::Key_Return) << 1 << 1;
    QTest::newRow("escape takes the last") << int(Qt::Key_Escape) << 0 << 2;
    QTest::newRow("default out of range is clamped") << int(Qt::Key_Return) << 7 << 2;
}

void TestAlertPresenter::keysChoose()
{
    QFETCH(int, key);
    QFETCH(int, defaultIndex);
    QFETCH(int, expected);
    AlertPresenter presenter;
    std::optional<int> answer;
    presenter.ask(QStringLiteral("Choose"), QStringLiteral("one of three"),
                  {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")},
                  defaultIndex, AlertPresenter::Style::warning, [&](int i) { answer = i; });
    QTRY_COMPARE(visibleBoxes().size(), 1);
    QMessageBox* box = visibleBoxes().first();
    QCOMPARE(box->icon(), QMessageBox::Warning);
    // Buttons stay in the order given.
    QCOMPARE(buttonTexts(box),
             (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
    QTest::keyClick(box, Qt::Key(key));
    QTRY_COMPARE(answer, std::optional<int>(expected));
}

void TestAlertPresenter::askFromWorkerThread()
{
    AlertPresenter presenter;
    std::optional<int> answer;
    QThread* answerThread = nullptr;
    QThread* worker = QThread::create([&] {
        presenter.ask(QStringLiteral("From a worker"), QString(), {QStringLiteral("OK")}, 0,
                      AlertPresenter::Style::information, [&](int i) {
                          answer = i;
                          answerThread = QThread::currentThread();
                      });
    });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    QTRY_COMPARE(visibleBoxes().size(), 1);
    QCOMPARE(visibleBoxes().first()->thread(), qApp->thread());
    buttonNamed(visibleBoxes().first(), QStringLiteral("OK"))->click();
    QTRY_COMPARE(answer, std::optional<int>(0));
    QCOMPARE(answerThread, qApp->thread());
}

void TestAlertPresenter::presenterGoneBeforeAnswer()
{
    bool answered = false;
    QPointer<QMessageBox> box;
    {
        AlertPresenter presenter;
        presenter.ask(QStringLiteral("Short-lived"), QString(), {QStringLiteral("OK")}, 0,
                      AlertPresenter::Style::information, [&](int) { answered = true; });
        QTRY_VERIFY(presenter.currentBox());
        box = presenter.currentBox();
    }
    // Its alert goes with it and nobody is called back.
    QVERIFY(box.isNull());
    QTest::qWait(50);
    QVERIFY(!answered);

    // A request still queued when the presenter goes is dropped as well.
    {
        AlertPresenter presenter;
        presenter.showInformation(QStringLiteral("Never shown"), QString());
    }
    QTest::qWait(50);
    QVERIFY(visibleBoxes().isEmpty());
}

QTEST_MAIN(TestAlertPresenter)
#include "tst_alertpresenter.moc"
