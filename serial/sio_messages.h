// Texts of the serial layer's codes and of the dispatch log, and the system's
// texts of Windows error numbers for the codes the table does not hold.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace serial {

struct TSioMessage {
  int32_t Code;
  const char* Text;
};

// The table, ascending by absolute code.
std::span<const TSioMessage> MessageTable();

// Text of |code| from the table, else the cleaned system text of error number
// |code| (control characters become blanks, runs of blanks one blank); empty
// when neither has one. At most 255 characters.
std::string LookupMessage(int32_t code);

// Gives the system's text of a Windows error number, empty when it has none. The
// default is strerror of the errno that the number stands for.
using TSystemMessageSource = std::function<std::string(uint32_t error)>;
// nullptr restores the default.
void SetSystemMessageSource(TSystemMessageSource source);
std::string SystemMessageText(uint32_t error);

}  // namespace serial
