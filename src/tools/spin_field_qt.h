// An integer spin field that takes whatever number is typed and brings it
// into its range when the typing ends (Enter, or leaving the field): above
// the range gives the maximum, below it the minimum, and an emptied field the
// minimum.
#pragma once

#include <QSpinBox>

namespace quillora {

class SpinField : public QSpinBox {
    Q_OBJECT
  public:
    explicit SpinField(QWidget* parent = nullptr);

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

}  // namespace quillora
