#pragma once

#include "views/HistoryView.h"

#include <QWidget>

// The top-level "Capture History" window: 600 x 500, resizable, closable,
// hosting a HistoryView. Each showing starts with an empty search and no
// sheet; the history itself lives on in the service.
class HistoryWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize defaultSize{600, 500};

    HistoryWindow(HistoryService& history, Clipboard& clipboard, HistoryViewHooks hooks = {},
                  QWidget* parent = nullptr);

    HistoryView* view() const { return m_view; }

signals:
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    HistoryView* m_view;
};
