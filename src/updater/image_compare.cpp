#include "updater/image_compare.h"

#include "shell/log_console.h"

namespace kavu {

CompareResult CompareImages(const FirmwareImage& file, const FirmwareImage& chip) {
  CompareResult r;
  for (size_t a = 0; a < kProgramSize; ++a) {
    if (file.bytes[a] == chip.bytes[a]) continue;
    r.differs[a] = 1;
    ++(a >= kMonitorEnd ? r.user_errors : r.monitor_errors);
  }
  for (const SpecialArea& area : kSpecialAreas) {
    for (size_t i = area.slot; i < area.slot + area.length; ++i) {
      if (!file.defined[i] || file.bytes[i] == chip.bytes[i]) continue;
      r.differs[i] = 1;
      ++r.config_errors;
    }
  }
  r.summary = {kColourNormal, "ErrUserN = " + std::to_string(r.user_errors) +
                                  " ErrNMon=" + std::to_string(r.monitor_errors) + "\n"};
  if (r.user_errors + r.monitor_errors + r.config_errors == 0) {
    r.box = {"ВЕРИФИКАЦИЯ ПРОШИВКИ", "Все в порядке, данные одинаковы !\nНажмите 'Пуск' для запуска прошивки",
             BoxIcon::kWarning};
    return r;
  }
  std::string text;
  if (r.user_errors > 0) text += "Данные пользователя не совпадают!\r\n";
  if (r.config_errors > 0) text += "Данные конфигурации / идентификаторы не совпадают!\r\n";
  if (r.monitor_errors > 0) text += "Несовпадения есть только в области монитора, но это ерунда!\r\n";
  text += "Не совпадения выделены синим цветом";
  r.box = r.Matches() ? UpdaterBox{"ИНФОРМАЦИЯ", text, BoxIcon::kWarning}
                      : UpdaterBox{"ОШИБКА ВЕРИФИКАЦИИ", text, BoxIcon::kError};
  return r;
}

}  // namespace kavu
