#include "CaseTable.h"
#include "LoopbackHttpServer.h"
#include "ViewsFixture.h"
#include "capture/TesseractRecognizer.h"
#include "common/NotificationHub.h"
#include "hotkeys/KeySequence.h"
#include "settings/PreferenceKeys.h"
#include "views/AddLanguagesDialog.h"
#include "views/RecognitionLanguagesView.h"
#include "views/SegmentedControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>

using namespace Qt::StringLiterals;

class TestSettingsView : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewsFixture> m_f;
    std::unique_ptr<SettingsWindow> m_window;
    std::unique_ptr<QSignalSpy> m_hub;

    SettingsView& open(const QString& preferences = {}) // "key=value key=value"
    {
        for (const QString& pair : preferences.split(u' ', Qt::SkipEmptyParts)) {
            m_f->prefs.setValue(QLatin1StringView(pair.section(u'=', 0, 0).toLatin1()),
                                pair.section(u'=', 1));
        }
        m_window = std::make_unique<SettingsWindow>(m_f->settingsServices());
        m_window->show();
        [this] { QVERIFY(QTest::qWaitForWindowExposed(m_window.get())); }();
        m_hub = std::make_unique<QSignalSpy>(&NotificationHub::shared(), &NotificationHub::posted);
        return *m_window->view();
    }
    template <typename W> W* find(const QString& text) const
    {
        for (W* w : m_window->findChildren<W*>()) {
            if (w->text() == text) {
                return w;
            }
        }
        return nullptr;
    }
    // Presses a key on a control found by its text, as a user without a mouse.
    template <typename W = QCheckBox> void press(const QString& text, Qt::Key key = Qt::Key_Space)
    {
        W* control = find<W>(text);
        QVERIFY2(control, qPrintable(text));
        control->setFocus();
        QTest::keyClick(control, key);
    }
    // What the next start reads: the preferences file on disk.
    QString stored(const QString& key) const
    {
        m_f->prefs.sync();
        return Preferences(m_f->prefs.configFile())
            .value(QLatin1StringView(key.toLatin1()))
            .toString();
    }
    QString posted() const
    {
        QString names;
        for (const QList<QVariant>& args : *m_hub) {
            names += args[0].toString() + u'=' + args[1].toString();
        }
        return names;
    }

private slots:
    void init()
    {
        // The default choice of languages follows the locale settings.
        for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) {
            qunsetenv(variable);
        }
        qputenv("LANG", "C.UTF-8");
        m_f = std::make_unique<ViewsFixture>();
    }
    void cleanup()
    {
        m_window.reset();
        m_f.reset();
    }

    // Each switch shows its default without writing it, writes its key when
    // flipped, tells the application where it must, and follows changes made
    // elsewhere (the tray menu) without telling anyone.
    void switchesWriteTheirKeys_data()
    {
        // control, key, initially, posted
        // ("Show Tray Icon" in settings_e2e.)
        rows({u"Automatically check for updates→SUEnableAutomaticChecks→true→",
              u"Automatically download updates→SUAutomaticallyUpdate→false→",
              u"Additive Clipboard Mode→additiveClipboardEnabled→false→"
              u"UpdateAdditiveClipboard=true"});
    }
    void switchesWriteTheirKeys()
    {
        const QStringList f = fields();
        const QString &control = f[0], &key = f[1], &initially = f[2], &posted = f[3];
        open();
        QCOMPARE(find<QCheckBox>(control)->isChecked(), initially == u"true");
        QCOMPARE(stored(key), QString());
        press(control);
        QCOMPARE(stored(key), initially == u"true" ? u"false"_s : u"true"_s);
        QCOMPARE(this->posted(), posted);
        m_f->prefs.setValue(QLatin1StringView(key.toLatin1()), initially);
        QCOMPARE(find<QCheckBox>(control)->isChecked(), initially == u"true");
        QCOMPARE(this->posted(), posted);
    }

    // The model picker follows the provider: OpenAI's six, Gemini's two for
    // any other provider, none for OCR.space; a stored model it does not
    // list is shown, not replaced. Down in the picker writes the next one.
    void providerAndModel_data()
    {
        // preferences, selected, models (how many, and the current one), written
        rows({u"→openai→6 GPT-4o (Recommended)→openaiModel=gpt-4o-mini",
              u"aiProvider=gemini→gemini→2 Gemini 2.5 Flash (Recommended)→"
              u"geminiModel=gemini-2.0-flash-exp",
              u"aiProvider=ocrspace→ocrspace→0 →",
              u"aiProvider=claude→→2 Gemini 2.5 Flash (Recommended)→"
              u"geminiModel=gemini-2.0-flash-exp",
              u"openaiModel=gpt-9→openai→7 gpt-9→openaiModel=gpt-9"});
    }
    void providerAndModel()
    {
        const QStringList f = fields();
        const QString &preferences = f[0], &selected = f[1], &models = f[2], &written = f[3];
        SettingsView& view = open(preferences);
        QComboBox* picker = view.modelPicker();
        QCOMPARE(view.providerPicker()->value(), selected);
        QCOMPARE(QString::number(picker->isVisible() ? picker->count() : 0) + u' ' +
                     (picker->isVisible() ? picker->currentText() : QString()),
                 models);
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down);
        QCOMPARE(written.isEmpty() ? written : stored(written.section(u'=', 0, 0)),
                 written.section(u'=', 1));
        // The arrow keys move along the segments and write the provider.
        view.providerPicker()->button(0)->setFocus();
        QTest::keyClick(view.providerPicker()->button(0), Qt::Key_Right);
        QCOMPARE(stored(u"aiProvider"_s) + QString::number(picker->count()), u"gemini2"_s);
    }

    // "Advanced" starts collapsed and opens from the keyboard; its fields
    // write their keys when editing finishes, an emptied one removes its key,
    // and an address the clients would refuse is not saved and says why. It
    // opens by itself when one of its keys is set.
    void advancedFields_data()
    {
        // field, key, typed, stored (was https://old.example), why not
        rows({u"OpenAI URL→openaiBaseURL→ http://127.0.0.1:11434 →http://127.0.0.1:11434→",
              u"Gemini URL→geminiBaseURL→http://example.com→https://old.example→plain http://",
              u"OCR.space URL→ocrSpaceBaseURL→http://[::1]:8080/v→http://[::1]:8080/v→",
              u"OpenAI URL→openaiBaseURL→https://me@x.org→https://old.example→user name",
              u"OpenAI Model→openaiCustomModel→llava→llava→", u"OCR.space URL→ocrSpaceBaseURL→→→"});
    }
    void advancedFields()
    {
        const QStringList f = fields();
        const QByteArray name = f[1].toLatin1();
        const QLatin1StringView key(name);
        SettingsView& view = open();
        QVERIFY(!view.advancedGroup()->isVisible());
        press<QToolButton>(u"Advanced"_s);
        QVERIFY(view.advancedGroup()->isVisible());
        m_f->prefs.setValue(key, u"https://old.example"_s);
        QLineEdit* edit = nullptr;
        for (QLineEdit* e : view.advancedGroup()->findChildren<QLineEdit*>()) {
            edit = e->accessibleName() == f[0] ? e : edit;
        }
        QVERIFY(edit && edit->text() == u"https://old.example");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, f[2]);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(stored(f[1]), f[3]);
        QCOMPARE(m_f->prefs.contains(key), !f[3].isEmpty());
        const QString why = edit->accessibleDescription();
        QVERIFY(f[4].isEmpty() ? why.isEmpty()
                               : why.contains(f[4]) && find<QLabel>(why)->isVisible());
        QCOMPARE(open().advancedGroup()->isVisible(), !f[3].isEmpty());
    }

    void aiNeedsAKey_data()
    {
        // provider, account (whose key is stored), on
        // Which key each provider needs: tst_appdelegate.
        rows({u"openai→openai-api-key→true", u"gemini→openai-api-key→false"});
    }
    void aiNeedsAKey()
    {
        const QStringList f = fields();
        const QString &provider = f[0], &account = f[1], &on = f[2];
        if (!account.isEmpty()) {
            KeychainService::saveKeyNow(*m_f->keyring, u"sk-test"_s, account);
        }
        SettingsView& view = open(u"aiProvider="_s + provider);
        press(u"AI-Enhanced OCR"_s);
        // Switched on only once the key is found; else the sheet opens over
        // the window and the switch stays off.
        QTRY_VERIFY(stored(u"aiEnhancedOCREnabled"_s) == u"true" || view.apiKeySheet());
        QCOMPARE(stored(u"aiEnhancedOCREnabled"_s), on == u"true" ? on : QString());
        QCOMPARE(find<QCheckBox>(u"AI-Enhanced OCR"_s)->isChecked(), on == u"true");
        QCOMPARE(view.apiKeySheet() && view.apiKeySheet()->isVisible() &&
                     view.apiKeySheet()->parentWidget() == m_window.get(),
                 on == u"false");
    }

    // The switch says what the session will do, also after a change behind
    // the window's back; a failure is told and the switch stays as things are.
    void launchAtLogin()
    {
        const QString entry = m_f->env.configHome() + u"/autostart/quillsnap.desktop"_s;
        open();
        QCheckBox* toggle = find<QCheckBox>(u"Launch at Login"_s);
        toggle->click();
        QVERIFY(QFileInfo(entry).isFile() && stored(u"launchAtLogin"_s) == u"true");
        QFile::remove(entry);
        m_window->hide();
        m_window->show();
        QVERIFY(!toggle->isChecked());
        QVERIFY(QDir().mkpath(entry)); // a folder in the way
        m_f->alerts.setNextAnswer(0);
        toggle->click();
        QVERIFY(!toggle->isChecked() && stored(u"launchAtLogin"_s) == u"false");
        QTRY_COMPARE(m_f->alerts.log().size(), 1);
        QVERIFY(m_f->alerts.log()[0].message.startsWith(
            u"quillsnap could not be set to start at login: %1 cannot be written: "_s.arg(entry)));
    }

    void hotkeyAndClearHistory()
    {
        m_f->addSamples(3);
        m_f->history.saveHistory();
        SettingsView& view = open(u"hotkeySequence={broken"_s);
        QCOMPARE(view.hotkeyText()->text(), u"Shift+Super+8"_s);
        m_f->prefs.setValue(PreferenceKeys::hotkeySequence,
                            *KeySequence{{{40, 256}, {8, 256}}, 0.5}.toJSONString());
        QCOMPARE(view.hotkeyText()->text(), u"Super+K → Super+C"_s);
        press<QPushButton>(u"Configure..."_s);
        QCOMPARE(posted(), u"ShowHotkeyRecorder="_s);

        for (const int answer : {1, 0}) { // "Cancel", then "Clear"
            m_f->alerts.setNextAnswer(answer);
            press<QPushButton>(u"Clear History..."_s);
            QTRY_COMPARE(m_f->alerts.log().size(), 2 - answer);
            QTRY_COMPARE(m_f->storedTexts().size(), 3 * answer);
        }
    }

    // Written when the number is complete; 0 keeps no history and says so.
    void historyLimits_data()
    {
        // typed, unit
        rows({u"250→items", u"0→items (no history is kept)"});
    }
    void historyLimits()
    {
        const QStringList f = fields();
        const QString &typed = f[0], &unit = f[1];
        SettingsView& view = open();
        QSpinBox* field = view.maxItemsField();
        QCOMPARE(field->value(), 1000);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QCOMPARE(stored(u"maxHistoryItems"_s), QString());
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(stored(u"maxHistoryItems"_s), typed);
        QVERIFY(find<QLabel>(unit));
        QCOMPARE(view.autoDeletePicker()->currentText(), u"30 days"_s);
        view.autoDeletePicker()->setFocus();
        QTest::keyClick(view.autoDeletePicker(), Qt::Key_Home);
        QCOMPARE(stored(u"autoDeleteAfterDays"_s) + view.autoDeletePicker()->currentText(),
                 u"0Never"_s);
    }

    // The installed languages (English, French) as checkboxes, the choice
    // written in order; the last language cannot be unticked.
    void languages_data()
    {
        // stored, clicks (rows: 0 English, 1 French), written (after each click)
        rows({u"fra→1 0 0→fra fra+eng fra", u"eng+fra→1 0→eng eng",
              u"jpn→1→eng+fra"}); // nothing of the choice installed: English
    }
    void languages()
    {
        const QStringList f = fields();
        const QString &stored = f[0], &clicks = f[1], &written = f[2];
        QListWidget* list = open(u"recognitionLanguages="_s + stored).languages()->list();
        QCOMPARE(list->item(0)->text() + u'|' + list->item(1)->text(), u"English|French"_s);
        const QStringList after = written.split(u' ');
        for (int i = 0; i < after.size(); ++i) {
            list->setFocus();
            list->setCurrentRow(clicks.split(u' ')[i].toInt());
            QTest::keyClick(list, Qt::Key_Space);
            QCOMPARE(this->stored(u"recognitionLanguages"_s), after[i]);
        }
    }

    // "Add Languages...": a language from a loopback server is installed,
    // listed and chosen.
    void addLanguages()
    {
        QFile data(TesseractRecognizer::defaultDataDirectory() + u"/deu.traineddata"_s);
        QVERIFY(data.open(QIODevice::ReadOnly));
        LoopbackHttpServer server;
        server.route(u"/td/deu.traineddata"_s, {data.readAll()});
        SettingsView& view =
            open(u"recognitionLanguages=eng tessdataBaseURL="_s + server.url(u"/td"_s).toString());
        press<QPushButton>(u"Add Languages..."_s);
        AddLanguagesDialog* dialog = view.languages()->addDialog();
        QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
        QTRY_VERIFY(dialog->filterField()->hasFocus());
        QTest::keyClicks(dialog->filterField(), u"deu"_s); // its Tesseract name
        const auto shown = dialog->list()->findItems(u"German"_s, Qt::MatchExactly);
        QVERIFY(shown.size() == 1 && !shown[0]->isHidden());
        dialog->list()->setCurrentItem(shown[0]);
        QTest::keyClick(dialog->list(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->statusLabel()->text().contains(u"was added"_s), 10000);
        QCOMPARE(stored(u"recognitionLanguages"_s), u"eng+deu"_s);
        QListWidget* list = view.languages()->list();
        QCOMPARE(list->item(2)->text(), u"German"_s);
        QCOMPARE(list->item(2)->checkState(), Qt::Checked);
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
