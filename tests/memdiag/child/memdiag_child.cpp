// A program built like vandrel2 as far as the leak tracker goes: the replacement
// allocation functions, the settings file that starts tracking. A library it
// links holds a block of its own; the program leaks three 12-byte blocks from one
// place and ends ("noleak": leaks nothing); with "threads" four threads allocate
// and release blocks of every kind of size first.
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "memdiag/leak_tracker.h"
#include "services/settings_file.h"

namespace memdiag_child {

// Reachable to the end, so nothing may optimise the allocations away; the count is
// volatile so that the three come from one call site, not an unrolled three.
char* volatile g_leaks[3];
volatile int g_leak_count = 3;

[[gnu::noinline]] char* LeakTwelveBytes() {
  char* block = new char[12];
  std::memset(block, 'x', 12);
  return block;
}

// Sizes on both sides of the largest kept block (1000) and well above it.
void AllocateAndRelease(std::vector<std::unique_ptr<char[]>>& handed_over) {
  static constexpr size_t kSizes[] = {1, 12, 100, 999, 1000, 1001, 5000};
  for (int round = 0; round < 300; ++round) {
    std::vector<std::unique_ptr<char[]>> blocks;
    for (size_t size : kSizes) {
      blocks.emplace_back(new char[size]);
      std::memset(blocks.back().get(), round, size);
    }
    std::string text(static_cast<size_t>(round % 50) + 20, 'a');
    text += std::to_string(round);
    // Every other round one block is released by another thread.
    if (round % 2 == 0) handed_over.push_back(std::move(blocks[round % std::size(kSizes)]));
  }
}

void RunThreads() {
  std::vector<std::unique_ptr<char[]>> handed_over[4];
  std::vector<std::thread> threads;
  for (auto& list : handed_over) threads.emplace_back(AllocateAndRelease, std::ref(list));
  for (std::thread& t : threads) t.join();
}

}  // namespace memdiag_child

extern "C" void HoldABlockOnALibraryThread();

int main(int argc, char** argv) {
  services::SetMemDiagStarter(memdiag::StartFromSettings);
  services::ReadSettings();
  // Never a viewer from a test.
  if (memdiag::TLeakTracker* tracker = memdiag::ProcessTracker()) tracker->ShowReport = false;
  if (argc > 1 && std::strcmp(argv[1], "threads") == 0) memdiag_child::RunThreads();
  HoldABlockOnALibraryThread();
  if (argc > 1 && std::strcmp(argv[1], "noleak") == 0) return 0;
  for (int i = 0; i < memdiag_child::g_leak_count; ++i) {
    memdiag_child::g_leaks[i] = memdiag_child::LeakTwelveBytes();
  }
  return 0;
}
