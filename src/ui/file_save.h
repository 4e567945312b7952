// Saving from the windows: texts and pictures go through the program's one file writer
// (core/atomic_file.h), so a save that fails leaves the file that stood there as it was.
#pragma once

#include <QString>
#include <string>

class QPixmap;

namespace vexa {

// Writes `bytes` as the whole file `path`. 0 or the errno value.
int SaveFile(const QString& path, const std::string& bytes);

// Writes `picture` as a PNG file. 0 or the errno value (EIO when it cannot be encoded).
int SavePngFile(const QPixmap& picture, const QString& path);

// The system's text for an errno value ("Permission denied").
QString FileErrorText(int error);

}  // namespace vexa
