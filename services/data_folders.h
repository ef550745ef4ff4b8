// The program's two folders named vandrel2 (its own files; the start of every file
// dialog) and the error log of connect failures.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace services {

constexpr int32_t kCsidlPersonal = 5;        // the user's documents
constexpr int32_t kCsidlLocalAppData = 28;   // the user's local application data

// The folder that holds the program's folder of that kind; empty when unknown.
std::string GetShellFolderPath(int32_t csidl);

// <local data>/vandrel2 and <documents>/vandrel2, created when missing; empty when
// they cannot be made.
std::string GetLocalDataFolder();
std::string GetDocumentsFolder();

// The error log could not be written; what() says why in the program's language.
class TErrorLogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Appends "<date> <time>: <message>" (dd.mm.yyyy hh:mm:ss) to Errors.log in the local
// data folder. Appends only, so a failed write never loses the older entries.
// Throws TErrorLogError when the file cannot be written (also when it is no regular
// file: a FIFO or a device there is left alone).
void AppendErrorLog(const std::string& message);

// "dd.mm.yyyy hh:mm:ss" of the current local time, as the log writes it.
std::string ErrorLogTimeText();

}  // namespace services
