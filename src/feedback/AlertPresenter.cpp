#include "feedback/AlertPresenter.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>

#include <algorithm>

namespace {
// Enough for a test to inspect a run; old entries go first.
constexpr qsizetype logLimit = 100;
} // namespace

AlertPresenter::AlertPresenter(QObject* parent) : QObject(parent) {}

AlertPresenter::~AlertPresenter()
{
    // Whoever asked is not answered once the presenter is gone.
    m_pendingAnswer = {};
    m_queue.clear();
    delete m_box.data();
}

AlertPresenter& AlertPresenter::shared()
{
    static AlertPresenter* instance = [] {
        auto* presenter = new AlertPresenter;
        if (QCoreApplication::instance() && presenter->thread() != qApp->thread()) {
            presenter->moveToThread(qApp->thread());
        }
        return presenter;
    }();
    return *instance;
}

void AlertPresenter::showInformation(const QString& title, const QString& message)
{
    ask(title, message, {tr("OK")}, 0, Style::information, {});
}

void AlertPresenter::ask(const QString& title, const QString& message, const QStringList& buttons,
                         int defaultIndex, Style style, Answer answer)
{
    Request request;
    request.record = {title, message, buttons.isEmpty() ? QStringList{tr("OK")} : buttons, style};
    request.defaultIndex = std::clamp(defaultIndex, 0, int(request.record.buttons.size()) - 1);
    request.answer = std::move(answer);
    // The queue lives on the main thread; a caller elsewhere hands it over.
    QMetaObject::invokeMethod(
        this, [this, request = std::move(request)]() mutable { enqueue(std::move(request)); },
        Qt::QueuedConnection);
}

void AlertPresenter::enqueue(Request request)
{
    m_queue.push_back(std::move(request));
    showNext();
}

void AlertPresenter::showNext()
{
    if (m_box || m_queue.empty()) {
        return;
    }
    Request request = std::move(m_queue.front());
    m_queue.pop_front();
    m_log.append(request.record);
    if (m_log.size() > logLimit) {
        m_log.removeFirst();
    }

    if (!m_nextAnswers.empty()) {
        const int index = m_nextAnswers.front();
        m_nextAnswers.pop_front();
        if (request.answer) {
            request.answer(index);
        }
        showNext();
        return;
    }

    auto* box = new QMessageBox(request.record.style == Style::warning ? QMessageBox::Warning
                                                                       : QMessageBox::Information,
                                request.record.title, QString());
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Messages carry text from elsewhere (a server's error, a file name), and
    // the box reads its informative text as markup when it looks like some,
    // links included: both texts go in as escaped rich text, the title bold.
    box->setTextFormat(Qt::RichText);
    box->setText(QStringLiteral("<b>%1</b>").arg(request.record.title.toHtmlEscaped()));
    if (!request.record.message.isEmpty()) {
        box->setInformativeText(
            Qt::convertFromPlainText(request.record.message, Qt::WhiteSpaceNormal));
    }
    // One role for all keeps the buttons in the order they were given.
    QList<QPushButton*> added;
    for (const QString& text : request.record.buttons) {
        added.append(box->addButton(text, QMessageBox::ActionRole));
    }
    box->setDefaultButton(added.at(request.defaultIndex));
    box->setEscapeButton(added.last());

    m_box = box;
    m_pendingAnswer = std::move(request.answer);
    connect(box, &QMessageBox::finished, this, [this, box, added] {
        const qsizetype chosen = added.indexOf(qobject_cast<QPushButton*>(box->clickedButton()));
        finish(chosen < 0 ? int(added.size()) - 1 : int(chosen));
    });
    box->open();
}

void AlertPresenter::finish(int index)
{
    Answer answer = std::move(m_pendingAnswer);
    m_pendingAnswer = {};
    m_box = nullptr;
    if (answer) {
        answer(index);
    }
    // The next alert waits for the event loop, like the first one did.
    QMetaObject::invokeMethod(this, &AlertPresenter::showNext, Qt::QueuedConnection);
}
