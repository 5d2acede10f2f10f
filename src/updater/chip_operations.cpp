#include "updater/chip_operations.h"

#include <cstdio>
#include <cstring>

#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr const char* kReadFailed =
    "Ошибка при считывании данных из модуля! Ошибка связи, схема не в режиме "
    "перепрограммирования или монитор не поддерживает чтение прошивки.";
constexpr const char* kNoReply =
    "Ошибка при записи, нет ответа! Возможно схема не в режиме обновления прошивки или не "
    "поддерживает заливку hex - файлов.";
constexpr const char* kWrongReply =
    "Ошибка при записи - неверный ответ! Возможно схема не в режиме обновления прошивки или не "
    "поддерживает заливку hex - файлов.";

void LogShortRead(int count) { Log() << "Err, RdSz=" << count << "\n"; }

std::string StoppedAt(int block, uint32_t address) {
  char text[200];
  std::snprintf(text, sizeof text,
                "\n\nЗапись прервана на блоке %d из %d (адрес 0x%04X): программа в МК неполная, "
                "запишите файл заново.",
                block, kProgramBlocks, static_cast<unsigned>(address));
  return text;
}

}  // namespace

ChipReadResult ReadChip(BootLoaderClient& client, FirmwareImage& read_image, const BlockProgress& progress) {
  ChipReadResult result;
  client.WakeUp();
  uint8_t block[kFlashBlockSize];
  for (int i = 0; i < kProgramBlocks; ++i) {
    const uint32_t address = static_cast<uint32_t>(i * kFlashBlockSize);
    const int count = client.ReadBlock(address, block);
    if (count != static_cast<int>(kFlashBlockSize)) {
      LogShortRead(count);
      result.box = UpdaterBox{"ОШИБКА ЧТЕНИЯ", kReadFailed, BoxIcon::kError};
      return result;
    }
    for (size_t k = 0; k < kFlashBlockSize; ++k) read_image.Set(address + k, block[k]);
    if (progress) progress(i + 1, kProgramBlocks);
  }
  for (const SpecialArea& area : kSpecialAreas) {
    for (size_t from = 0; from < area.length; from += kFlashBlockSize) {
      const int count = client.ReadBlock(area.address + static_cast<uint32_t>(from), block);
      if (count != static_cast<int>(kFlashBlockSize)) {
        LogShortRead(count);
        result.box = UpdaterBox{"ОШИБКА", "Ошибка при считывании reg !", BoxIcon::kError};
        return result;
      }
      for (size_t k = 0; k < kFlashBlockSize && from + k < area.length; ++k) {
        read_image.Set(area.slot + from + k, block[k]);
      }
    }
  }
  result.ok = true;
  return result;
}

ChipWriteResult WriteChip(BootLoaderClient& client, const FirmwareImage& file, int program_bytes,
                          const BlockProgress& progress) {
  ChipWriteResult result;
  if (program_bytes <= 0) {
    result.box = UpdaterBox{"ОШИБКА ЗАПИСИ",
                            "Файл прошивки не загружен или не содержит данных программы: запись "
                            "стёрла бы программу в МК. Откройте hex - файл.",
                            BoxIcon::kError};
    return result;
  }
  Log() << "Начинаю запись \n";
  client.WakeUp();
  for (int i = 0; i < kProgramBlocks; ++i) {
    const uint32_t address = static_cast<uint32_t>(i * kFlashBlockSize);
    const int reply = client.WriteBlock(address, file.bytes.data() + address);
    if (reply != BootLoaderClient::kWritten && reply != BootLoaderClient::kProtected) {
      const char* text = reply < 0 ? kNoReply : kWrongReply;
      result.box = UpdaterBox{"ОШИБКА ЗАПИСИ", text + StoppedAt(i, address), BoxIcon::kError};
      LogRed("Запись прервана, блок " + std::to_string(i) + ": программа в МК неполная\n");
      return result;
    }
    ++result.blocks_sent;
    if (reply == BootLoaderClient::kProtected) {
      ++result.protected_blocks;
      if (address >= kMonitorEnd) ++result.protected_user;
    }
    if (progress) progress(i + 1, kProgramBlocks);
  }
  Log() << "Конец записи, записано блоков = " << result.blocks_sent
        << " из них защищено от изменений = " << result.protected_blocks << "\n";
  if (result.protected_user > 0) {
    LogRed("Странно, защищено от изменений " + std::to_string(result.protected_user) +
           " блоков в пользовательской области \n");
  }
  result.ok = true;
  return result;
}

void StartFirmware(BootLoaderClient& client) {
  client.WakeUp();
  client.Start();
}

}  // namespace kavu
