#include "serial/sio_errors.h"

#include <cstdio>
#include <mutex>

#include "serial/sio_messages.h"
#include "serial/sio_misc.h"

namespace serial {
namespace {

using Thrower = void (*)(int32_t);

template <class E>
[[noreturn]] void Throw(int32_t code) {
  throw E(code);
}

struct CodeClass {
  int32_t code;
  Thrower raise;
};

#define SIO_ROW(Name, Code) {Code, &Throw<Name>},

constexpr CodeClass kMapped[] = {SIO_GENERAL_LEAVES(SIO_ROW)
                                 // Internal errors of the ini database share the class.
                                 {-7003, &Throw<EInternal>},
                                 {-7006, &Throw<EInternal>},
                                 {-7012, &Throw<EInternal>},
                                 SIO_OPENCOMM_LEAVES(SIO_ROW) SIO_SERIALIO_LEAVES(SIO_ROW)
                                     SIO_MODEM_LEAVES(SIO_ROW)
                                         SIO_TRIGGER_LEAVES(SIO_ROW){-6006, &Throw<EProtocol>},
                                 {-6008, &Throw<EProtocol>},
                                 {-6009, &Throw<EProtocol>},
                                 SIO_INI_LEAVES(SIO_ROW) SIO_FAX_LEAVES(SIO_ROW)
                                     SIO_RAS_LEAVES(SIO_ROW) SIO_TAPI_LEAVES(SIO_ROW)};

#undef SIO_ROW

static_assert(std::size(kMapped) == 166);

const CodeClass* FindMapped(int32_t code) {
  for (const auto& row : kMapped) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

std::mutex g_display_mutex;
TExceptionDisplay g_display;

}  // namespace

ESioException::ESioException(int32_t code) : std::runtime_error(LookupMessage(code)), Code(code) {}

ESioException::ESioException(const std::string& message) : std::runtime_error(message), Code(0) {}

EOutOfMemory::EOutOfMemory() : std::runtime_error(LookupMessage(ecOutOfMemory)) {}

bool IsMappedCode(int32_t code) {
  return FindMapped(code) != nullptr;
}

int32_t RaiseForCode(const TSioBaseComponent* owner, int32_t code) {
  if (code >= 0 || (owner && owner->Loading())) return code;
  if (const CodeClass* row = FindMapped(code)) row->raise(code);
  if (code >= -162 && code <= -2) {
    if (code == ecOutOfMemory) throw EOutOfMemory();
    throw EInOutError(LookupMessage(-code), -code);
  }
  throw ESioException(std::string("Serial port exception"));
}

void SetExceptionDisplay(TExceptionDisplay display) {
  std::lock_guard lock(g_display_mutex);
  g_display = std::move(display);
}

void ShowException(std::exception_ptr error) {
  TExceptionDisplay display;
  {
    std::lock_guard lock(g_display_mutex);
    display = g_display;
  }
  if (display) {
    display(error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "Unknown exception\n");
  }
}

}  // namespace serial
