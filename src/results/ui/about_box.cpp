#include "results/ui/about_box.h"

#include <QDialog>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "results/help_links.h"
#include "results/ui/help_key.h"
#include "shell/ui/link_opener.h"
#include "shell/ui/screen_fit.h"

namespace kavu {
namespace {

QString AboutHtml() {
  QString html = QString::fromUtf8(
      "Антенный анализатор на основе компьютерного Sdr-приёмника<br>"
      "Программа для компьютера: управление генераторами ВЧ и измерительным мостом,<br>"
      "получение данных от Sdr приёмника и их обработка, визуализация измерений<br><br>"
      "Версия 4.08 от 14.01.2023 <br><br>"
      "Сборка для Linux: окна Qt 6, виртуальный стенд для работы без оборудования<br>"
      "(kavusdraa --demo).<br>");
  // The help is the configured web help, or the README installed with the program.
  const QString help = QString::fromStdString(HelpAddress(HelpBase(), "DlgAbout", HelpButtonSuffix()));
  if (!help.isEmpty()) {
    html += QString::fromUtf8("<br>Справка: <a href=\"%1\">описание программы</a> (F1 в каждом окне открывает "
                              "его раздел)<br>")
                .arg(help.toHtmlEscaped());
  }
  return html;
}

}  // namespace

QWidget* ShowAboutBox(QWidget& parent, const std::function<bool(const QString&)>& open_link) {
  if (auto* open = parent.findChild<QDialog*>("about", Qt::FindDirectChildrenOnly)) {
    open->raise();
    return open;
  }
  auto* box = new QDialog(&parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setObjectName("about");
  box->setWindowTitle(QString::fromUtf8("О программе KavuSdrAA"));
  auto* help_key = new HelpKey(*box, "DlgAbout");
  help_key->open_link = open_link;
  auto* text = new QTextBrowser(box);
  text->setObjectName("aboutText");
  // Links go through LinkOpener, so a link the browser does not take can be copied.
  text->setOpenLinks(false);
  text->setHtml(AboutHtml());
  QObject::connect(text, &QTextBrowser::anchorClicked, box, [box, open_link](const QUrl& url) {
    LinkOpener opener(box);
    if (open_link) opener.open_url = open_link;
    opener.Open(url.toString());
  });
  auto* v = new QVBoxLayout(box);
  v->addWidget(text);
  ResizeWithinScreen(*box, QSize(620, 280));
  box->show();
  return box;
}

}  // namespace kavu
