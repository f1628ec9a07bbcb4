// The progress window's list of six steps: each line open (a black triangle,
// normal weight) or ticked (a blue tick on a yellow disc, bold).
#pragma once

#include <QStringList>
#include <QWidget>
#include <vector>

namespace quillora {

class StepList : public QWidget {
    Q_OBJECT
  public:
    explicit StepList(QWidget* parent = nullptr);

    static constexpr int kLines = 6;

    QString line(int k) const { return lines_.value(k); }
    void set_line(int k, const QString& text);
    bool ticked(int k) const { return ticked_.at(static_cast<std::size_t>(k)); }
    // Ticks line k (from 0) and repaints at once.
    void tick(int k);
    // Every line open again.
    void open_all();
    // The top of line k: 12 + k * (text height + 12).
    int line_top(int k) const;

  signals:
    // Line k has just been ticked and repainted.
    void line_ticked(int k);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QStringList lines_;
    std::vector<bool> ticked_;
};

}  // namespace quillora
