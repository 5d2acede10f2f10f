#include "results/kant_file_type.h"

#include "results/kant_mime_xml.h"

namespace kavu {

DesktopFileType KantFileType(const std::string& program) {
  DesktopFileType t;
  t.glob = "*.kant";
  t.mime_type = kKantMimeType;
  t.mime_package = "io.github.kavusdraa.Kavusdraa.xml";
  t.mime_xml = kKantMimeXml;
  t.desktop_id = kKantDesktopId;
  t.name = "KavuAntSdr";
  t.comment = "Открыть в KavuAntSdr";
  t.icon = "io.github.kavusdraa.Kavusdraa";
  t.program = program;
  return t;
}

std::string KantRegistrationText(const FileTypeRegistration& r) {
  if (!r.ok) return r.error + "\n(" + r.failed + ")";
  std::string text =
      "Добавление KavuAntSdr в контекстные меню файлов *.kant прошло успешно\n"
      "Теперь файлы *.kant открываются в KavuAntSdr, а в меню 'Открыть с помощью' есть пункт 'KavuAntSdr'\n"
      "Тип файлов: " + r.mime_type + (r.type_existed ? " (уже был известен, сохранён)" : "") + "\n"
      "Ярлык: " + r.desktop_file;
  return text;
}

}  // namespace kavu
