// A main window for tests: records what the services show and answers the
// dialogs and message boxes from queued answers.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "services/app_window.h"

namespace services::testing {

class FakeAppWindow : public TAppWindow {
 public:
  struct Box {
    std::string text;
    std::string caption;
    uint32_t flags;
  };

  FakeAppWindow() { SetAppWindow(this); }
  ~FakeAppWindow() override { SetAppWindow(nullptr); }

  void SetStatusPanel(int panel, const std::string& text) override { panels[panel] = text; }
  std::string StatusPanel(int panel) const override {
    auto it = panels.find(panel);
    return it == panels.end() ? std::string() : it->second;
  }

  int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) override {
    boxes.push_back({text, caption, flags});
    if (box_answers.empty()) return kIdOk;
    int answer = box_answers.front();
    box_answers.pop_front();
    return answer;
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }

  TFileDialogState& OpenDialog() override { return open_dialog; }
  TFileDialogState& SaveDialog() override { return save_dialog; }
  // Each Execute takes the next queued file name; an empty one (or none) cancels.
  bool ExecuteOpenDialog(TFileDialogState& dialog) override { return Execute(dialog, "open"); }
  bool ExecuteSaveDialog(TFileDialogState& dialog) override { return Execute(dialog, "save"); }

  std::vector<std::string> MemoLines() const override { return memo; }
  void SetMemoLines(const std::vector<std::string>& lines) override { memo = lines; }

  std::map<int, std::string> panels;
  std::vector<Box> boxes;
  std::deque<int> box_answers;
  std::vector<std::string> errors;
  TFileDialogState open_dialog;
  TFileDialogState save_dialog;
  std::deque<std::string> dialog_answers;
  std::vector<std::string> dialogs_shown;  // "open" / "save", in order
  std::vector<std::string> proposed;       // the file name each dialog opened with
  std::vector<std::string> memo;

 private:
  bool Execute(TFileDialogState& dialog, const char* kind) {
    dialogs_shown.push_back(kind);
    proposed.push_back(dialog.FileName);
    if (dialog_answers.empty()) return false;
    std::string name = dialog_answers.front();
    dialog_answers.pop_front();
    if (name.empty()) return false;
    dialog.FileName = name;
    return true;
  }
};

}  // namespace services::testing
