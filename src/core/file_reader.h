// The one way the program reads a file it is asked to open (line-ups, Touchstone files, plan
// files): a regular file only, read whole and never beyond a cap that each kind of file sets.
//
// The name is opened without blocking (O_NONBLOCK), so a FIFO without a writer cannot hang
// the program, and the open descriptor is checked (fstat) before anything is read: a
// directory, a FIFO, a socket or a device is refused, and so is a file larger than the cap.
// The reading itself stops one byte past the cap, so a file that grows meanwhile (or one
// whose size the system does not tell) cannot take more memory than that. The files are text:
// one saved as UTF-16 is refused with a note to save it as UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexa {

enum class FileReadStatus {
  kRead,            // `bytes` holds the whole file
  kCannotOpen,      // the name cannot be opened; `error` holds errno (ENOENT: no such file)
  kIsDirectory,     // "is a directory"
  kNotRegularFile,  // a FIFO, socket or device: "is not a regular file"
  kTooLarge,        // larger than the cap: "is larger than 1 MiB"
  kCannotRead,      // reading failed; `error` holds errno
  kUtf16,           // text saved as UTF-16 (see LooksLikeUtf16)
};

struct FileReadResult {
  FileReadStatus status = FileReadStatus::kCannotOpen;
  int error = 0;      // errno for kCannotOpen and kCannotRead, else 0
  std::string bytes;  // empty unless kRead: nothing half-read
  bool ok() const { return status == FileReadStatus::kRead; }
  // No file of that name: the name or a folder on its path does not exist (ENOENT), or a
  // part of the path that should be a folder is a file (ENOTDIR).
  bool Missing() const;
};

// Reads the file at `path` whole, when it is a regular file of at most `max_bytes` bytes that
// does not look like UTF-16 text.
FileReadResult ReadFileCapped(const std::string& path, std::size_t max_bytes);

// Why a read failed, to follow the file's name: "cannot be opened: No such file or directory",
// "is a directory", "is not a regular file", "is larger than 1 MiB" (the cap of that read),
// "cannot be read: Input/output error", "is UTF-16 text; it must be saved as UTF-8". Empty
// for a file that was read.
std::string FileReadReason(const FileReadResult& result, std::size_t max_bytes);

// A size for messages: "64 MiB", "1 KiB", "1536 bytes" (whole MiB, else whole KiB, else
// bytes).
std::string ByteSizeText(std::size_t bytes);

// Whether `bytes` look like text saved as UTF-16: they start with a byte-order mark (FF FE or
// FE FF), or, without one, at least a quarter of the first 4 KiB are zero bytes, almost all of
// them at even offsets or almost all at odd ones (the high byte of each Latin letter, digit or
// sign). Zero bytes spread over both sides, as in binary data, are not taken for UTF-16.
bool LooksLikeUtf16(std::string_view bytes);

}  // namespace vexa
