#pragma once
// FreqEdit: a frequency edit with its spin buttons, as the main window's "Sdr" and "Fген"
// frequencies use them. Committed is emitted when the edit loses focus or Enter is pressed in it
// (the text as typed); Stepped when a spin button or the Up/Down key asks for a step (+1 up,
// −1 down). The owner stores and shows the value itself (SetValueText). The failure colour
// (255, 190, 190) marks a frequency the receiver or generator did not take.
#include <QLineEdit>
#include <QString>
#include <QToolButton>
#include <QWidget>

namespace kavu {

class FreqEdit : public QWidget {
  Q_OBJECT
 public:
  explicit FreqEdit(QWidget* parent = nullptr);

  void SetValueText(const QString& text);
  QString Text() const { return edit_->text(); }
  // true: the failure colour; false: the normal one.
  void SetFailed(bool failed);
  bool Failed() const { return failed_; }
  QLineEdit* Edit() const { return edit_; }
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  void Committed(const QString& text);
  void Stepped(int steps);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_;
  QToolButton* up_;
  QToolButton* down_;
  bool failed_ = false;
};

}  // namespace kavu
