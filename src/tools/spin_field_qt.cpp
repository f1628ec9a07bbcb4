#include "tools/spin_field_qt.h"

#include <algorithm>

namespace quillora {
namespace {

int sign_length(const QString& text) {
    return text.startsWith('-') || text.startsWith('+') ? 1 : 0;
}

// Whether the text is an optional sign followed by nothing but digits.
bool digits_only(const QString& text) {
    for (int i = sign_length(text); i < text.size(); ++i) {
        if (!text[i].isDigit())
            return false;
    }
    return true;
}

}  // namespace

SpinField::SpinField(QWidget* parent) : QSpinBox(parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State SpinField::validate(QString& input, int& pos) const {
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state != QValidator::Invalid)
        return state;
    // Any number may be typed; fixup() brings it into the range afterwards.
    return digits_only(input.trimmed()) ? QValidator::Intermediate : QValidator::Invalid;
}

void SpinField::fixup(QString& input) const {
    const QString text = input.trimmed();
    if (!digits_only(text)) {
        QSpinBox::fixup(input);
        return;
    }
    int value = minimum();
    if (text.size() > sign_length(text)) {
        bool ok = false;
        const qlonglong typed = text.toLongLong(&ok);
        if (ok) {
            value = static_cast<int>(std::clamp<qlonglong>(typed, minimum(), maximum()));
        } else {
            // More digits than any integer holds: a huge number or a huge negative one.
            value = text.startsWith('-') ? minimum() : maximum();
        }
    }
    input = textFromValue(value);
}

}  // namespace quillora
