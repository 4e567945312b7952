#include "ui/file_save.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QPixmap>
#include <cerrno>
#include <cstring>

#include "core/atomic_file.h"

namespace vexa {

int SaveFile(const QString& path, const std::string& bytes) {
  return ReplaceFileAtomically(QFile::encodeName(path).toStdString(), bytes);
}

int SavePngFile(const QPixmap& picture, const QString& path) {
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
    return EIO;
  return SaveFile(path, png.toStdString());
}

QString FileErrorText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace vexa
