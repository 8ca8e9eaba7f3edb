#include "LoopbackHttpServer.h"
#include "ViewsFixture.h"
#include "capture/TesseractRecognizer.h"
#include "common/NotificationHub.h"
#include "hotkeys/KeySequence.h"
#include "settings/PreferenceKeys.h"
#include "views/AddLanguagesDialog.h"
#include "views/RecognitionLanguagesView.h"
#include "views/SegmentedControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSettingsView : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewsFixture> m_f;
    std::unique_ptr<SettingsWindow> m_window;
    std::unique_ptr<QSignalSpy> m_hub;

    SettingsView& open()
    {
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
    // Flips a switch from the keyboard, as a user without a mouse does.
    void flip(const QString& text)
    {
        QCheckBox* box = find<QCheckBox>(text);
        QVERIFY2(box, qPrintable(text));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
    }
    // What the next start reads: the preferences file on disk.
    QVariant stored(QLatin1StringView key) const
    {
        m_f->prefs.sync();
        return Preferences(m_f->prefs.configFile()).value(key);
    }
    QStringList posted() const
    {
        QStringList names;
        for (const QList<QVariant>& args : *m_hub) {
            names << args[0].toString() + u'=' + args[1].toString();
        }
        return names;
    }
    QStringList models() const
    {
        QStringList titles;
        for (int i = 0; i < m_window->view()->modelPicker()->count(); ++i) {
            titles << m_window->view()->modelPicker()->itemText(i);
        }
        return titles;
    }

private slots:
    void init() { m_f = std::make_unique<ViewsFixture>(); }
    void cleanup()
    {
        m_window.reset();
        m_f.reset();
    }

    void switchesWriteTheirKeys_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("initially"); // with an empty store
        QTest::addColumn<QString>("posted");
        QTest::newRow("tray icon") << u"Show Tray Icon"_s << u"showMenuBarIcon"_s << true
                                   << u"UpdateMenuBarVisibility=false"_s;
        QTest::newRow("update checks") << u"Automatically check for updates"_s
                                       << u"SUEnableAutomaticChecks"_s << true << QString();
        QTest::newRow("update downloads") << u"Automatically download updates"_s
                                          << u"SUAutomaticallyUpdate"_s << false << QString();
        QTest::newRow("additive clipboard")
            << u"Additive Clipboard Mode"_s << u"additiveClipboardEnabled"_s << false
            << u"UpdateAdditiveClipboard=true"_s;
    }
    void switchesWriteTheirKeys()
    {
        QFETCH(QString, control);
        QFETCH(QString, key);
        QFETCH(bool, initially);
        QFETCH(QString, posted);
        open();
        const QByteArray latin1 = key.toLatin1();
        const QLatin1StringView k(latin1);
        QCOMPARE(find<QCheckBox>(control)->isChecked(), initially);
        QVERIFY(!stored(k).isValid()); // showing a default writes nothing
        flip(control);
        QCOMPARE(stored(k).toBool(), !initially);
        QCOMPARE(this->posted(), posted.isEmpty() ? QStringList() : QStringList{posted});
        // A change made elsewhere (the tray menu) shows at once, announced by nobody.
        m_f->prefs.setValue(k, initially);
        QCOMPARE(find<QCheckBox>(control)->isChecked(), initially);
        QCOMPARE(m_hub->size(), int(!posted.isEmpty()));
    }

    void providerAndModel_data()
    {
        QTest::addColumn<QString>("provider"); // stored; empty: absent
        QTest::addColumn<QString>("selected"); // the segment shown as chosen
        QTest::addColumn<QString>("models");   // empty: the picker is hidden
        QTest::addColumn<QString>("key");      // written by the second model
        QTest::newRow("absent: OpenAI")
            << QString() << u"openai"_s
            << u"GPT-4o (Recommended)|GPT-4o Mini (Faster)|GPT-4 Turbo|GPT-4|o1 (Reasoning)|"
               "o1 Mini (Reasoning)"_s
            << u"openaiModel=gpt-4o-mini"_s;
        QTest::newRow("gemini") << u"gemini"_s << u"gemini"_s
                                << u"Gemini 2.5 Flash (Recommended)|Gemini 2.0 Flash Exp"_s
                                << u"geminiModel=gemini-2.0-flash-exp"_s;
        QTest::newRow("ocrspace: no model")
            << u"ocrspace"_s << u"ocrspace"_s << QString() << QString();
        QTest::newRow("unknown provider: none chosen, Gemini models")
            << u"claude"_s << QString() << u"Gemini 2.5 Flash (Recommended)|Gemini 2.0 Flash Exp"_s
            << u"geminiModel=gemini-2.0-flash-exp"_s;
    }
    void providerAndModel()
    {
        QFETCH(QString, provider);
        QFETCH(QString, selected);
        QFETCH(QString, models);
        QFETCH(QString, key);
        if (!provider.isEmpty()) {
            m_f->prefs.setValue(PreferenceKeys::aiProvider, provider);
        }
        SettingsView& view = open();
        QCOMPARE(view.providerPicker()->value(), selected);
        QCOMPARE(view.modelPicker()->isVisibleTo(m_window.get()), !models.isEmpty());
        if (!models.isEmpty()) {
            QCOMPARE(this->models().join(u'|'), models);
            view.modelPicker()->setFocus();
            QTest::keyClick(view.modelPicker(), Qt::Key_Down);
            const QStringList kv = key.split(u'=');
            const QByteArray latin1 = kv[0].toLatin1();
            QCOMPARE(stored(QLatin1StringView(latin1)).toString(), kv[1]);
        }
        // The arrow keys move along the segments and write the provider.
        view.providerPicker()->button(0)->setFocus();
        QTest::keyClick(view.providerPicker()->button(0), Qt::Key_Right);
        QCOMPARE(stored(PreferenceKeys::aiProvider).toString(), u"gemini"_s);
        QCOMPARE(this->models().size(), 2);
        QTest::mouseClick(view.providerPicker()->button(2), Qt::LeftButton);
        QVERIFY(!view.modelPicker()->isVisibleTo(m_window.get()));
    }

    void storedModelsAreShownNotReplaced()
    {
        m_f->prefs.setValue(PreferenceKeys::openaiModel, u"gpt-9"_s);
        m_f->prefs.setValue(PreferenceKeys::autoDeleteAfterDays, 45);
        SettingsView& view = open();
        QCOMPARE(view.modelPicker()->currentText(), u"gpt-9"_s);
        QCOMPARE(view.autoDeletePicker()->currentText(), u"45 days"_s);
        QCOMPARE(stored(PreferenceKeys::openaiModel).toString(), u"gpt-9"_s);
        // The tray menu picks another model: the picker follows.
        m_f->prefs.setValue(PreferenceKeys::openaiModel, u"o1"_s);
        QCOMPARE(view.modelPicker()->currentText(), u"o1 (Reasoning)"_s);
    }

    void aiNeedsAKey_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("account"); // whose key is stored; empty: none
        QTest::addColumn<bool>("on");
        QTest::newRow("OpenAI with its key") << u"openai"_s << u"openai-api-key"_s << true;
        QTest::newRow("Gemini with OpenAI's key") << u"gemini"_s << u"openai-api-key"_s << false;
        QTest::newRow("OCR.space without a key") << u"ocrspace"_s << QString() << false;
        QTest::newRow("unknown provider") << u"claude"_s << u"openai-api-key"_s << false;
    }
    void aiNeedsAKey()
    {
        QFETCH(QString, provider);
        QFETCH(QString, account);
        QFETCH(bool, on);
        m_f->prefs.setValue(PreferenceKeys::aiProvider, provider);
        if (!account.isEmpty()) {
            KeychainService::saveKeyNow(*m_f->keyring, u"sk-test"_s, account);
        }
        SettingsView& view = open();
        flip(u"AI-Enhanced OCR"_s);
        QTRY_COMPARE(bool(view.apiKeySheet()), !on);
        QTRY_COMPARE(stored(PreferenceKeys::aiEnhancedOCREnabled).toBool(), on);
        QCOMPARE(find<QCheckBox>(u"AI-Enhanced OCR"_s)->isChecked(), on);
        if (!on) {
            QVERIFY(view.apiKeySheet()->isVisible());
            QCOMPARE(view.apiKeySheet()->parentWidget(), m_window.get());
        }
    }

    void launchAtLogin_data()
    {
        QTest::addColumn<QString>("obstacle"); // in the way of the entry
        QTest::addColumn<bool>("on");          // after switching on
        QTest::addColumn<QString>("alert");
        QTest::newRow("written") << QString() << true << QString();
        QTest::newRow("autostart folder is a file")
            << u"autostart"_s << false
            << u"quillsnap could not be set to start at login: the folder %1/autostart cannot "
               "be created."_s;
        QTest::newRow("a folder in place of the entry")
            << u"autostart/quillsnap.desktop/"_s << false
            << u"quillsnap could not be set to start at login: %1/autostart/quillsnap.desktop "
               "cannot be written: "_s;
    }
    void launchAtLogin()
    {
        QFETCH(QString, obstacle);
        QFETCH(bool, on);
        QFETCH(QString, alert);
        const QString config = m_f->env.configHome();
        const QString entry = config + u"/autostart/quillsnap.desktop"_s;
        if (obstacle.endsWith(u'/')) {
            QDir().mkpath(config + u'/' + obstacle);
        } else if (!obstacle.isEmpty()) {
            QFile(config + u'/' + obstacle).open(QIODevice::WriteOnly);
        }
        m_f->alerts.setNextAnswer(0);
        open();
        QCheckBox* toggle = find<QCheckBox>(u"Launch at Login"_s);
        QVERIFY(!toggle->isChecked());
        toggle->setChecked(true);
        // The switch and the stored choice say what the session will do.
        QCOMPARE(toggle->isChecked(), on);
        QCOMPARE(stored(PreferenceKeys::launchAtLogin).toBool(), on);
        if (!alert.isEmpty()) {
            QTRY_COMPARE(m_f->alerts.log().size(), 1);
            QVERIFY2(m_f->alerts.log()[0].message.startsWith(alert.arg(config)),
                     qPrintable(m_f->alerts.log()[0].message));
            return;
        }
        QVERIFY(QFileInfo(entry).isFile());
        toggle->setChecked(false);
        QVERIFY(!QFileInfo::exists(entry));
        // Removed behind the window's back: shown when the window is shown again.
        toggle->setChecked(true);
        QFile::remove(entry);
        m_window->hide();
        m_window->show();
        QVERIFY(!toggle->isChecked());
    }

    void hotkeyRow()
    {
        m_f->prefs.setValue(PreferenceKeys::hotkeySequence, u"{broken"_s);
        SettingsView& view = open();
        QCOMPARE(view.hotkeyText()->text(), u"Shift+Super+8"_s);
        m_f->prefs.setValue(PreferenceKeys::hotkeySequence,
                            *KeySequence{{{40, 256}, {8, 256}}, 0.5}.toJSONString());
        QCOMPARE(view.hotkeyText()->text(), u"Super+K → Super+C"_s);
        QTest::mouseClick(find<QPushButton>(u"Configure..."_s), Qt::LeftButton);
        QCOMPARE(posted(), QStringList{u"ShowHotkeyRecorder="_s});
    }

    void historyLimits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("unit");
        QTest::newRow("a number") << u"250"_s << 250 << u"items"_s;
        QTest::newRow("zero keeps none") << u"0"_s << 0 << u"items (no history is kept)"_s;
    }
    void historyLimits()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QFETCH(QString, unit);
        SettingsView& view = open();
        QSpinBox* field = view.maxItemsField();
        QCOMPARE(field->value(), 1000);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QVERIFY(!this->stored(PreferenceKeys::maxHistoryItems).isValid()); // not while typing
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(this->stored(PreferenceKeys::maxHistoryItems).toInt(), stored);
        QVERIFY(find<QLabel>(unit));
        QCOMPARE(view.autoDeletePicker()->currentText(), u"30 days"_s);
        view.autoDeletePicker()->setFocus();
        QTest::keyClick(view.autoDeletePicker(), Qt::Key_Home);
        QCOMPARE(this->stored(PreferenceKeys::autoDeleteAfterDays).toInt(), 0);
        QCOMPARE(view.autoDeletePicker()->currentText(), u"Never"_s);
    }

    void clearHistory_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Clear") << 0;
        QTest::newRow("Cancel") << 1;
    }
    void clearHistory()
    {
        QFETCH(int, answer);
        m_f->addSamples(3);
        m_f->history.saveHistory();
        m_f->alerts.setNextAnswer(answer);
        open();
        QTest::mouseClick(find<QPushButton>(u"Clear History..."_s), Qt::LeftButton);
        QTRY_COMPARE(m_f->alerts.log().size(), 1);
        const AlertPresenter::Record& asked = m_f->alerts.log()[0];
        QCOMPARE(asked.title + u'|' + asked.message + u'|' + asked.buttons.join(u','),
                 u"Clear History|Are you sure you want to clear all history items? This action "
                 "cannot be undone.|Clear,Cancel"_s);
        QTRY_COMPARE(m_f->storedTexts().size(), answer == 0 ? 0 : 3);
    }

    // The installed languages as checkboxes; the choice is written in order,
    // and the last language cannot be unticked.
    void languages_data()
    {
        QTest::addColumn<QString>("stored");  // "-": absent
        QTest::addColumn<QString>("clicks");  // rows clicked in turn (0 English, 1 French)
        QTest::addColumn<QString>("written"); // after each click; "-": absent
        QTest::newRow("French, then English too") << u"fra"_s << u"1 0 0"_s << u"- fra+eng -"_s;
        QTest::newRow("the last one stays") << u"eng+fra"_s << u"1 0"_s << u"eng eng"_s;
        QTest::newRow("nothing installed of the choice") << u"jpn"_s << u"1"_s << u"eng+fra"_s;
    }
    void languages()
    {
        QFETCH(QString, stored);
        QFETCH(QString, clicks);
        QFETCH(QString, written);
        m_f->prefs.setValue(PreferenceKeys::recognitionLanguages, stored);
        m_f->prefs.sync();
        SettingsView& view = open();
        QListWidget* list = view.languages()->list();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text() + u'|' + list->item(1)->text(), u"English|French"_s);
        const QStringList after = written.split(u' ');
        const QStringList rows = clicks.split(u' ');
        for (int i = 0; i < rows.size(); ++i) {
            list->setFocus();
            list->setCurrentRow(rows[i].toInt());
            QTest::keyClick(list, Qt::Key_Space);
            QCOMPARE(this->stored(PreferenceKeys::recognitionLanguages).toString(),
                     after[i] == u"-" ? stored : after[i]);
        }
        QVERIFY(list->item(0)->checkState() == Qt::Checked ||
                list->item(1)->checkState() == Qt::Checked);
    }

    // "Add Languages...": a language downloaded from a loopback server is
    // installed, listed and chosen; a cancelled one leaves nothing.
    void addLanguages()
    {
        QFile data(TesseractRecognizer::defaultDataDirectory() + u"/deu.traineddata"_s);
        QVERIFY(data.open(QIODevice::ReadOnly));
        LoopbackHttpServer server;
        server.answers[u"/td/deu.traineddata"_s] = {200, data.readAll()};
        server.answers[u"/td/spa_old.traineddata"_s] = {200, QByteArray(400'000, 'x'), 1000, true};
        m_f->prefs.setValue(PreferenceKeys::tessdataBaseURL, server.url(u"/td"_s).toString());
        m_f->prefs.setValue(PreferenceKeys::recognitionLanguages, u"eng"_s);
        SettingsView& view = open();
        QTest::mouseClick(find<QPushButton>(u"Add Languages..."_s), Qt::LeftButton);
        AddLanguagesDialog* dialog = view.languages()->addDialog();
        QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
        QTRY_VERIFY(dialog->filterField()->hasFocus());
        const auto pick = [dialog](const QString& typed) {
            dialog->filterField()->clear();
            QTest::keyClicks(dialog->filterField(), typed);
            QList<QListWidgetItem*> shown;
            for (int i = 0; i < dialog->list()->count(); ++i) {
                if (!dialog->list()->item(i)->isHidden()) {
                    shown << dialog->list()->item(i);
                }
            }
            QCOMPARE(shown.size(), 1);
            dialog->list()->setCurrentItem(shown[0]);
            QTest::keyClick(dialog->list(), Qt::Key_Return);
        };
        pick(u"deu"_s);
        QTRY_VERIFY2_WITH_TIMEOUT(dialog->statusLabel()->text().contains(u"was added"_s),
                                  qPrintable(dialog->statusLabel()->text()), 10000);
        QCOMPARE(stored(PreferenceKeys::recognitionLanguages).toString(), u"eng+deu"_s);
        QListWidget* list = view.languages()->list();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(2)->text(), u"German"_s);
        QCOMPARE(list->item(2)->checkState(), Qt::Checked);
        QVERIFY(QFileInfo::exists(m_f->languageDirs[1] + u"/deu.traineddata"_s));

        pick(u"spa_"_s);
        QTRY_VERIFY(dialog->progressBar()->isVisible() && server.requested.size() == 2);
        QCOMPARE(dialog->cancelButton()->text(), u"Cancel"_s);
        QTest::keyClick(dialog, Qt::Key_Escape); // stops the download, keeps the dialog
        QTRY_VERIFY(dialog->statusLabel()->text().endsWith(u"The download was cancelled."_s));
        QVERIFY(dialog->isVisible());
        QCOMPARE(QDir(m_f->languageDirs[1])
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"deu.traineddata"_s});
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!view.languages()->addDialog());
    }

    void about()
    {
        open();
        QVERIFY(find<QLabel>(u"Version %1 (%2)"_s.arg(QStringLiteral(QUILLSNAP_VERSION), u"1"_s)));
        for (QLabel* link : m_window->findChildren<QLabel*>()) {
            if (link->accessibleName() == u"Visit Website") {
                emit link->linkActivated(link->toolTip());
            }
        }
        QCOMPARE(m_f->openedUrls, QList<QUrl>{QUrl(u"https://github.com/quillsnap/quillsnap"_s)});
        // Escape closes the window.
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QVERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
