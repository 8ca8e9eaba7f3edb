#pragma once

#include <QPointer>
#include <QWidget>

class AddLanguagesDialog;
class Preferences;
class QListWidget;
class QNetworkAccessManager;
class QPushButton;

// The languages on-device recognition reads, in the settings window: every
// installed language as a checkbox, named in the user's language, and "Add
// Languages..." to download more. Ticking and unticking writes
// "recognitionLanguages" (the order of choice kept, new ones last); the last
// ticked language cannot be unticked. A downloaded language is ticked.
class RecognitionLanguagesView : public QWidget
{
    Q_OBJECT
public:
    // dirs: the tessdata folders; downloads go to the last one.
    RecognitionLanguagesView(Preferences& preferences, QStringList dirs,
                             QNetworkAccessManager* network, QWidget* parent = nullptr);
    ~RecognitionLanguagesView() override;

    // Lists the installed languages again and shows the choice.
    void refresh();
    QStringList chosen() const { return m_chosen; }

    QListWidget* list() const { return m_list; }
    AddLanguagesDialog* addDialog() const;
    void showAddDialog();

private:
    void itemToggled(int row, bool checked);

    Preferences& m_preferences;
    QStringList m_dirs;
    QNetworkAccessManager* m_network;
    QListWidget* m_list;
    QPushButton* m_add;
    QStringList m_chosen;
    QPointer<AddLanguagesDialog> m_dialog;
};
