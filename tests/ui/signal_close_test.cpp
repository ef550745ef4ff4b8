// The program itself, started as a session starts it and ended as a session
// ends it: by SIGTERM (logout, shutdown, kill), SIGHUP (its terminal gone) or
// SIGINT (Ctrl+C). It closes as from its window: settings written, port closed,
// exit status 0; a second signal while it closes changes nothing.
#include <QTest>

#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <string>
#include <vector>

#include "ui_fixture.h"

extern char** environ;

using namespace ui::testing;

class SignalCloseTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  pid_t Spawn() {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_", 0) != 0 &&
          entry.rfind("QT_QPA_PLATFORM=", 0) != 0) {
        env.push_back(entry);
      }
    }
    const std::string home = world->Temp("");
    env.push_back("HOME=" + home);
    env.push_back("XDG_DATA_HOME=" + world->Temp("data"));
    env.push_back("XDG_CONFIG_HOME=" + world->Temp("config"));
    env.push_back("XDG_RUNTIME_DIR=" + world->Temp("runtime"));
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::filesystem::create_directories(world->Temp("runtime"));
    std::vector<std::string> argv_text = {VANDREL2_EXECUTABLE};
    std::vector<char*> argv, envp;
    for (std::string& a : argv_text) argv.push_back(a.data());
    for (std::string& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
  }

  // The exit status, or -1 when the program did not end within the time.
  static int WaitForEnd(pid_t pid, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      int status = 0;
      const pid_t r = ::waitpid(pid, &status, WNOHANG);
      if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      QTest::qWait(20);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void aSignalClosesTheProgramAsItsWindowDoes_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("twice");
    QTest::newRow("SIGTERM") << SIGTERM << false;
    QTest::newRow("SIGTERM twice") << SIGTERM << true;
    QTest::newRow("SIGHUP") << SIGHUP << false;
    QTest::newRow("SIGINT") << SIGINT << false;
  }
  void aSignalClosesTheProgramAsItsWindowDoes() {
    QFETCH(int, number);
    QFETCH(bool, twice);
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true);
    const pid_t pid = Spawn();
    QVERIFY(pid > 0);
    // Up once it has identified the device and read circuit 1, and the splash
    // has gone.
    QTRY_VERIFY_WITH_TIMEOUT(sim.RequestCount() > 5, 20000);
    QTest::qWait(3500);
    std::filesystem::remove(world->SettingsFile());
    QCOMPARE(::kill(pid, number), 0);
    if (twice) QCOMPARE(::kill(pid, number), 0);
    QCOMPARE(WaitForEnd(pid, 15000), 0);
    // The settings as the program had them, the device left alone.
    QVERIFY(ReadFile(world->SettingsFile()).find("Online=1") != std::string::npos);
    const size_t at_end = sim.RequestCount();
    QTest::qWait(300);
    QCOMPARE(sim.RequestCount(), at_end);
  }
};

QTEST_MAIN(SignalCloseTest)
#include "signal_close_test.moc"
