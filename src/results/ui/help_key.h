#pragma once
// HelpKey: F1 in a window opens the window's help topic in the browser, with the pointer's place
// in the window as the F1 form of the help address carries it (help_links.h), through
// LinkOpener (a link the browser does not take is offered for the clipboard). It watches the
// window's keys as an event filter, so F1 works wherever the focus is inside the window, unless
// a control takes F1 itself.
#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

namespace kavu {

class HelpKey : public QObject {
  Q_OBJECT

 public:
  // Watches `window` (which owns this object) for F1; `topic` is one of the help topics.
  HelpKey(QWidget& window, std::string topic);

  // The desktop's URL handler; replaced in tests (empty: LinkOpener's own).
  std::function<bool(const QString& url)> open_link;
  const std::string& Topic() const { return topic_; }
  // Opens the topic's F1 address with the pointer's place in the window now.
  void Open();

  // The HelpKey of `window`, nullptr when it has none.
  static HelpKey* Of(QWidget& window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  std::string topic_;
};

}  // namespace kavu
