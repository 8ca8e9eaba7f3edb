#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <deque>
#include <functional>

#include <QMessageBox>

// Every alert of the application goes through here. Alerts are posted to the
// main loop and shown without a nested event loop, one at a time in the order
// they were asked for; the caller returns before the user answers.
//
// Tests script the answers: after setNextAnswer(i) the next alert shows no
// window and answers button i; every alert is recorded in log().
class AlertPresenter : public QObject
{
    Q_OBJECT
public:
    enum class Style { information, warning };
    Q_ENUM(Style)

    struct Record
    {
        QString title;
        QString message;
        QStringList buttons;
        Style style = Style::information;
    };

    using Answer = std::function<void(int chosenIndex)>;

    explicit AlertPresenter(QObject* parent = nullptr);
    ~AlertPresenter() override;
    static AlertPresenter& shared();

    // An informational alert with the one button "OK".
    void showInformation(const QString& title, const QString& message);
    // An alert with `buttons` (left to right as read); `answer` gets the index
    // of the chosen one. Escape or closing the window choose the last button.
    void ask(const QString& title, const QString& message, const QStringList& buttons,
             int defaultIndex, Style style, Answer answer);

    // Test hooks. Answers queue up: each alert takes the oldest one.
    void setNextAnswer(int index) { m_nextAnswers.push_back(index); }
    const QList<Record>& log() const { return m_log; }
    void clearLog() { m_log.clear(); }
    QMessageBox* currentBox() const { return m_box; }

private:
    struct Request
    {
        Record record;
        int defaultIndex = 0;
        Answer answer;
    };

    void enqueue(Request request);
    void showNext();
    void finish(int index);

    std::deque<Request> m_queue;
    std::deque<int> m_nextAnswers;
    QList<Record> m_log;
    QPointer<QMessageBox> m_box;
    Answer m_pendingAnswer;
    bool m_scheduled = false;
};
