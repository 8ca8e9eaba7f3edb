#include "CaseTable.h"
#include "feedback/AlertPresenter.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QThread>

#include <memory>

using namespace Qt::StringLiterals;
using Style = AlertPresenter::Style;

namespace {
// What the box's labels show, read as a user would read them.
QStringList shownTexts(const QMessageBox* box)
{
    QStringList texts;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        QTextDocument document;
        (label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text()))
            ? document.setHtml(label->text())
            : document.setPlainText(label->text());
        texts.append(document.toPlainText());
    }
    return texts;
}
} // namespace

class TestAlertPresenter : public QObject
{
    Q_OBJECT
private slots:
    void oneAtATimeFromAnyThreadTextAsIs()
    {
        AlertPresenter presenter;
        // Text from elsewhere (a server's error) shows as it is, never as
        // markup with links.
        const QString title = u"Copy <b>Failed</b>"_s;
        const QString message = u"<a href=\"http://x\">details</a> & <i>more</i>"_s;
        QThread* answeredOn = nullptr;
        std::unique_ptr<QThread> worker(QThread::create([&] {
            presenter.ask(title, message, {}, 0, Style::information,
                          [&](int) { answeredOn = QThread::currentThread(); });
        }));
        worker->start();
        QVERIFY(worker->wait(5000));
        presenter.showInformation(u"Second"_s, QString());
        QTRY_VERIFY(presenter.currentBox());
        QMessageBox* box = presenter.currentBox();
        QCOMPARE(box->thread(), qApp->thread());
        QVERIFY(shownTexts(box).contains(title) && shownTexts(box).contains(message));
        QTest::qWait(100);
        QCOMPARE(presenter.log().size(), 1); // the second one waits its turn
        box->buttons().first()->click();
        QCOMPARE(answeredOn, qApp->thread());
        QTRY_VERIFY(presenter.currentBox() &&
                    shownTexts(presenter.currentBox()).contains(u"Second"_s));
    }

    void answers_data()
    {
        // action, defaultIndex, expected
        // A click; Return takes the default; Escape the last; a default out
        // of range is clamped.
        rows({u"Two→0→1", u"Return→1→1", u"Escape→0→2", u"Return→7→2"});
    }

    void answers()
    {
        const QStringList f = fields();
        const QString &action = f[0], &defaultIndex = f[1], &expected = f[2];
        AlertPresenter presenter;
        int answer = -1;
        presenter.ask(u"Choose"_s, QString(), {u"One"_s, u"Two"_s, u"Three"_s},
                      defaultIndex.toInt(), Style::warning, [&](int i) { answer = i; });
        QTRY_VERIFY(presenter.currentBox());
        QMessageBox* box = presenter.currentBox();
        QCOMPARE(box->icon(), QMessageBox::Warning);
        if (action == "Return"_L1 || action == "Escape"_L1) {
            QTest::keyClick(box, action == "Return"_L1 ? Qt::Key_Return : Qt::Key_Escape);
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == action) {
                button->click();
            }
        }
        QTRY_COMPARE(answer, expected.toInt());
    }

    void presenterGoneBeforeAnswer()
    {
        bool answered = false;
        QPointer<QMessageBox> box;
        {
            AlertPresenter presenter;
            presenter.ask(u"Short-lived"_s, QString(), {}, 0, Style::information,
                          [&](int) { answered = true; });
            QTRY_VERIFY(presenter.currentBox());
            box = presenter.currentBox();
        }
        // Its alert goes with it and nobody is called back.
        QVERIFY(box.isNull());
        QTest::qWait(50);
        QVERIFY(!answered);
    }
};

QTEST_MAIN(TestAlertPresenter)
#include "tst_alertpresenter.moc"
