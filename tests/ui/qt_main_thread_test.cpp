// The main-thread hook over the Qt event loop, as the serial threads use it.
#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <thread>

#include "ui/qt_main_thread.h"

using ui::TQtMainThread;

class QtMainThreadTest : public QObject {
  Q_OBJECT

 private slots:
  void postedCallsRunOnTheUiThreadInOrder() {
    TQtMainThread main_thread;
    QVERIFY(main_thread.IsUiThread());
    std::vector<int> order;
    bool on_ui = false;
    bool worker_is_ui = true;
    std::thread worker([&] {
      worker_is_ui = main_thread.IsUiThread();
      main_thread.Post([&] {
        order.push_back(1);
        on_ui = QThread::currentThread() == qApp->thread();
      });
      main_thread.Post([&] { order.push_back(2); });
    });
    worker.join();
    QVERIFY(!worker_is_ui);
    QVERIFY(order.empty());  // nothing runs until the UI thread processes messages
    main_thread.ProcessMessages();
    QCOMPARE(order, std::vector<int>({1, 2}));
    QVERIFY(on_ui);
  }

  void sendWaitsForTheCallOrGivesUp() {
    TQtMainThread main_thread;
    int ran = 0;
    // On the UI thread a sent call runs at once.
    QVERIFY(main_thread.Send([&] { ++ran; }, 0));
    QCOMPARE(ran, 1);

    // From another thread: runs when the UI thread processes messages in time.
    std::atomic<int> result{-1};
    std::thread in_time([&] { result = main_thread.Send([&] { ++ran; }, 5000) ? 1 : 0; });
    QTRY_COMPARE(result.load(), 1);
    in_time.join();
    QCOMPARE(ran, 2);

    // The UI thread is busy past the time-out: false, and the call never runs.
    result = -1;
    std::thread too_late([&] { result = main_thread.Send([&] { ++ran; }, 50) ? 1 : 0; });
    too_late.join();
    QCOMPARE(result.load(), 0);
    main_thread.ProcessMessages();
    QCOMPARE(ran, 2);
  }

  void aThrowingCallStaysInside() {
    TQtMainThread main_thread;
    bool after = false;
    main_thread.Post([] { throw std::runtime_error("inside"); });
    main_thread.Post([&] { after = true; });
    main_thread.ProcessMessages();
    QVERIFY(after);
  }
};

QTEST_MAIN(QtMainThreadTest)
#include "qt_main_thread_test.moc"
