#pragma once

#include <QLatin1StringView>
#include <QString>

#include <functional>

class Preferences;
class QLineEdit;

// A line edit bound to a text preference: it shows the stored value, and when
// editing finishes writes the trimmed text (an emptied field removes the key).
// `refusal` (optional) may tidy the text and returns why it cannot be stored,
// or nothing; a refused text is not stored, and `tell` says why (or, with an
// empty reason, that all is well). Returns the function that shows the stored
// value again, for changes made elsewhere.
std::function<void()> bindPreferenceField(QLineEdit* field, Preferences& preferences,
                                          QLatin1StringView key,
                                          std::function<QString(QString&)> refusal,
                                          std::function<void(const QString&)> tell);
