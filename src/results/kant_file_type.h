#pragma once
// The scan-result files (*.kant) as a file type of the user's desktop: what the results menu's
// "Установить ассоциации рабочего стола на файлы *.kant" registers, and its messages.
#include <string>

#include "platform/desktop_file_type.h"

namespace kavu {

// The type defined when the desktop knows none for *.kant yet (the installed package's type).
inline constexpr const char* kKantMimeType = "application/x-kavusdraa-scan";
// The desktop entry the registration writes; apart from the installed program's own entry, which
// it must not hide.
inline constexpr const char* kKantDesktopId = "io.github.kavusdraa.KavuAntSdr.desktop";

// *.kant opened by `program` (its full path).
DesktopFileType KantFileType(const std::string& program);

// The caption of every failure box, and the texts of the boxes after a registration.
inline constexpr const char* kKantErrorCaption = "ОШИБКА ДОБАВЛЕНИЯ В КОНТЕКСТНОЕ МЕНЮ ДЛЯ *.kant";
inline constexpr const char* kKantInfoCaption = "ИНФО";
std::string KantRegistrationText(const FileTypeRegistration& r);

}  // namespace kavu
