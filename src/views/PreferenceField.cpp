#include "views/PreferenceField.h"

#include "settings/Preferences.h"

#include <QLineEdit>

std::function<void()> bindPreferenceField(QLineEdit* field, Preferences& preferences,
                                          QLatin1StringView key,
                                          std::function<QString(QString&)> refusal,
                                          std::function<void(const QString&)> tell)
{
    const auto show = [field, tell, &preferences, key] {
        field->setText(preferences.stringValue(key).value_or(QString()));
        tell({});
    };
    show();
    QObject::connect(field, &QLineEdit::editingFinished, field,
                     [field, tell, &preferences, key, refusal] {
                         QString text = field->text().trimmed();
                         const QString why = refusal && !text.isEmpty() ? refusal(text) : QString();
                         tell(why);
                         if (!why.isEmpty()) {
                             return;
                         }
                         if (text.isEmpty()) {
                             preferences.remove(key);
                         } else {
                             field->setText(text);
                             preferences.setValue(key, text);
                         }
                     });
    return show;
}
