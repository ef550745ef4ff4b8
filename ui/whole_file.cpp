#include "ui/whole_file.h"

#include <QSaveFile>

#include <stdexcept>

#include "ui/qt_text.h"

namespace ui {

void WriteWholeFile(const std::string& name, const std::string& bytes) {
  QSaveFile file(Q(name));
  const auto size = static_cast<qint64>(bytes.size());
  // Unbuffered, so a short write (disk full, size limit) shows in the count
  // instead of being lost in the buffer's flush.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
      file.write(bytes.data(), size) != size ||
      !file.commit()) {
    throw std::runtime_error("Die Datei kann nicht geschrieben werden: " + name + " (" +
                             file.errorString().toStdString() + ")");
  }
}

}  // namespace ui
