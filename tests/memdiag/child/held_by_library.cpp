// A shared library that allocates a block on a thread of its own, so that no code
// of the program is on the block's call stack, and holds it to the end, as Qt
// holds a few blocks of its own.
#include <pthread.h>

namespace {

char* volatile g_held = nullptr;

[[gnu::noinline]] void* Hold(void*) {
  g_held = new char[16];
  return nullptr;
}

}  // namespace

extern "C" void HoldABlockOnALibraryThread() {
  pthread_t thread;
  if (pthread_create(&thread, nullptr, Hold, nullptr) == 0) pthread_join(thread, nullptr);
}
