#include "views/ShortcutSetupPanel.h"

#include "hotkeys/ShortcutSetup.h"
#include "views/ViewStyle.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ViewStyle;

ShortcutSetupPanel::ShortcutSetupPanel(std::shared_ptr<ShortcutSetup> setup, QWidget* parent)
    : QWidget(parent), m_setup(std::move(setup))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    const bool manual = m_setup->method() == ShortcutSetup::Method::manual;
    QString intro;
    switch (m_setup->method()) {
    case ShortcutSetup::Method::gnomeSettings:
        intro = tr("GNOME lets applications use a global key only through a keyboard shortcut of "
                   "its own. quillsnap can add one to GNOME's custom shortcuts:");
        break;
    case ShortcutSetup::Method::swayConfig:
        intro = tr("sway lets only its own configuration bind global keys. quillsnap can add this "
                   "line at its end and reload sway (it takes over these keys from any earlier "
                   "binding):");
        break;
    case ShortcutSetup::Method::manual:
        intro = tr("This desktop has no way for applications to register a global key. Bind this "
                   "command to a key in your desktop's keyboard settings:");
        break;
    }
    auto* introLabel = makeLabel(intro, textFont(TextStyle::Body), this);
    introLabel->setWordWrap(true);
    layout->addWidget(introLabel);

    // What will be written, selectable so it can be copied by hand.
    auto* what = new QLabel(this);
    what->setText(manual ? m_setup->command() : m_setup->instructions());
    what->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    what->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    what->setWordWrap(true);
    what->setAccessibleName(tr("Shortcut command"));
    layout->addWidget(what);

    m_button = new QPushButton(tr("Add Shortcut"), this);
    makeProminent(m_button);
    m_button->setVisible(!manual && !m_setup->trigger().isEmpty());
    connect(m_button, &QPushButton::clicked, this, &ShortcutSetupPanel::install);
    layout->addWidget(m_button, 0, Qt::AlignLeft);

    m_status = makeSecondaryLabel(QString(), TextStyle::Caption, this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    QPointer<ShortcutSetupPanel> self(this);
    m_setup->checkInstalled([self](bool installed) {
        if (self && installed) {
            self->showInstalled();
        }
    });
}

void ShortcutSetupPanel::install()
{
    m_button->setEnabled(false);
    QPointer<ShortcutSetupPanel> self(this);
    m_setup->install([self](Expected<void, QString> done) {
        if (!self) {
            return;
        }
        self->m_button->setEnabled(true);
        if (!done) {
            self->m_status->setText(done.error());
            return;
        }
        self->showInstalled();
    });
}

void ShortcutSetupPanel::showInstalled()
{
    m_button->setText(tr("Add Again"));
    m_status->setText(
        tr("Shortcut added: %1 runs \"%2\".").arg(m_setup->trigger(), m_setup->command()));
    emit installed();
}
