#include "common/BoundedCall.h"

#include <QCoreApplication>

namespace BoundedCall::detail {

namespace {
std::mutex mailboxMutex;
QObject* mailbox = nullptr; // lives on the main thread; guarded by mailboxMutex
bool mailboxRetired = false;

} // namespace

void prepareMailbox()
{
    std::lock_guard lock(mailboxMutex);
    if (!mailbox && !mailboxRetired && QCoreApplication::instance()) {
        mailbox = new QObject;
        mailbox->moveToThread(QCoreApplication::instance()->thread());
        qAddPostRoutine([] {
            std::lock_guard lock(mailboxMutex);
            delete mailbox;
            mailbox = nullptr;
            mailboxRetired = true;
        });
    }
}

void postToMainThread(std::function<void()> fn)
{
    std::lock_guard lock(mailboxMutex);
    if (mailbox) {
        QMetaObject::invokeMethod(mailbox, std::move(fn), Qt::QueuedConnection);
    }
}

} // namespace BoundedCall::detail
