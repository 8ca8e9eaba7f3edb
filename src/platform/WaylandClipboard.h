#pragma once

#include "feedback/Clipboard.h"

#include <QObject>

#include <deque>

class QProcess;

// The clipboard of a Wayland session, through wl-clipboard's wl-copy and
// wl-paste. A Wayland compositor takes a selection only from a client that
// has an input serial from a focused surface; a tray application gets text
// to copy long after its last input event, and Qt then claims success while
// the compositor ignores the request. wl-copy needs no focus where the
// compositor offers data-control (wlroots, KDE Plasma) and maps a tiny
// surface for a moment where it does not (GNOME); it then keeps serving the
// text from a process of its own, so the text stays after quillsnap and its
// windows are gone. Writes run one after another, in the order asked; a
// write's answer is wl-copy's exit status.
class WaylandClipboard final : public QObject, public Clipboard
{
    Q_OBJECT
public:
    explicit WaylandClipboard(QObject* parent = nullptr);
    ~WaylandClipboard() override;

    // Whether wl-copy and wl-paste are installed.
    static bool isAvailable();

    // The text last written here or read by prefetchText(); nullopt when
    // neither happened or the clipboard held no text.
    std::optional<QString> text() const override;
    void clear() override;
    // Queues the write and answers true; the write's own answer goes to
    // setTextAsync's callers only.
    bool setText(const QString& text) override;
    void setTextAsync(const QString& text, std::function<void(bool)> done) override;
    void prefetchText() override;

    // Bounds each helper run (default 5 s).
    void setTimeout(int ms) { m_timeoutMs = ms; }

private:
    struct Write
    {
        bool clear = false;
        QString text;
        std::function<void(bool)> done;
    };
    void runNext();
    void finishWrite(bool ok);

    std::deque<Write> m_writes;
    QProcess* m_writer = nullptr;
    QProcess* m_reader = nullptr;
    std::optional<QString> m_text;
    int m_timeoutMs = 5000;
};
