#pragma once
// The About box ("О программе KavuSdrAA"), shared by the main window's menus and the results
// window's menu: the program's lines and a link to its help, opened through LinkOpener (a link
// the browser does not take is offered for the clipboard). F1 in it opens the help topic
// "DlgAbout".
#include <QString>
#include <QWidget>
#include <functional>

namespace kavu {

// Shows the About box of `parent` (object name "about", deleted when closed), or raises the one
// already open. `open_link` replaces the desktop's URL handler (tests); null: the desktop's.
QWidget* ShowAboutBox(QWidget& parent, const std::function<bool(const QString&)>& open_link);

}  // namespace kavu
