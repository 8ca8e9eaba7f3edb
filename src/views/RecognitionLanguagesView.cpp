#include "views/RecognitionLanguagesView.h"

#include "capture/RecognitionLanguages.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "views/AddLanguagesDialog.h"

#include <QCollator>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

RecognitionLanguagesView::RecognitionLanguagesView(Preferences& preferences, QStringList dirs,
                                                   QNetworkAccessManager* network, QWidget* parent)
    : QWidget(parent), m_preferences(preferences), m_dirs(std::move(dirs)), m_network(network)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    m_list = new QListWidget(this);
    m_list->setFixedHeight(112);
    m_list->setAccessibleName(tr("Recognition Languages"));
    m_list->setToolTip(tr("The languages of the text you capture; each one more makes "
                          "recognition slower"));
    column->addWidget(m_list);
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        itemToggled(m_list->row(item), item->checkState() == Qt::Checked);
    });
    m_add = new QPushButton(tr("Add Languages..."), this);
    connect(m_add, &QPushButton::clicked, this, &RecognitionLanguagesView::showAddDialog);
    column->addWidget(m_add, 0, Qt::AlignLeft);
    connect(&m_preferences, &Preferences::changed, this, [this](const QString& key) {
        if (key == PreferenceKeys::recognitionLanguages) {
            refresh();
        }
    });
    refresh();
}

RecognitionLanguagesView::~RecognitionLanguagesView()
{
    delete m_dialog.data();
}

void RecognitionLanguagesView::refresh()
{
    const QStringList installed = RecognitionLanguages::installed(m_dirs);
    m_chosen = RecognitionLanguages::effective(
        m_preferences.stringValue(PreferenceKeys::recognitionLanguages), installed);
    QList<std::pair<QString, QString>> named; // display name, language
    for (const QString& language : installed) {
        named.append({RecognitionLanguages::displayName(language), language});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(named.begin(), named.end(),
              [&collator](const auto& a, const auto& b) { return collator(a.first, b.first); });
    const QSignalBlocker quiet(m_list);
    const int current = m_list->currentRow();
    m_list->clear();
    for (const auto& [name, language] : named) {
        auto* item = new QListWidgetItem(name, m_list);
        item->setData(Qt::UserRole, language);
        item->setToolTip(language);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(m_chosen.contains(language) ? Qt::Checked : Qt::Unchecked);
    }
    m_list->setCurrentRow(std::clamp(current, 0, int(m_list->count()) - 1));
}

void RecognitionLanguagesView::itemToggled(int row, bool checked)
{
    const QString language = m_list->item(row)->data(Qt::UserRole).toString();
    QStringList chosen = m_chosen;
    if (checked && !chosen.contains(language)) {
        chosen.append(language);
    } else if (!checked) {
        chosen.removeAll(language);
    }
    if (chosen.isEmpty()) {
        // Recognition needs one language: the last one stays.
        const QSignalBlocker quiet(m_list);
        m_list->item(row)->setCheckState(Qt::Checked);
        return;
    }
    m_preferences.setValue(PreferenceKeys::recognitionLanguages,
                           RecognitionLanguages::join(chosen));
}

void RecognitionLanguagesView::showAddDialog()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    const QString base =
        m_preferences.stringValue(PreferenceKeys::tessdataBaseURL).value_or(QString());
    m_dialog = new AddLanguagesDialog(
        *m_network, m_dirs.last(), RecognitionLanguages::installed(m_dirs), QUrl(base), window());
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &AddLanguagesDialog::languageAdded, this, [this](const QString& language) {
        // Ticked at once: the user added it to read it.
        QStringList chosen = m_chosen;
        chosen.removeAll(language);
        chosen.append(language);
        m_preferences.setValue(PreferenceKeys::recognitionLanguages,
                               RecognitionLanguages::join(chosen));
        refresh();
    });
    m_dialog->open();
}

AddLanguagesDialog* RecognitionLanguagesView::addDialog() const
{
    return m_dialog;
}
