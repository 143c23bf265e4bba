// The ordered task scheduler: hand-on order, failures, and the bounds on
// what is in flight.
#include "vandrel/engine/OrderedTasks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using vandrel::COrderedTasks;

// Work of uneven length, so that later tasks often finish first.
void Spin(int i) {
  std::this_thread::sleep_for(std::chrono::microseconds((i * 7919) % 13 * 150));
}

TEST(OrderedTasks, HandsOnInSubmissionOrderOnTheCallingThread) {
  for (unsigned int threads : {1u, 2u, 3u, 8u}) {
    SCOPED_TRACE(threads);
    std::vector<int> handedOn;
    std::vector<int> ran(40, 0);
    const std::thread::id caller = std::this_thread::get_id();
    bool allOnCaller = true;
    {
      COrderedTasks tasks(threads, 1000, 6);
      for (int i = 0; i < 40; ++i) {
        tasks.MakeRoom(1);
        tasks.Submit(1, [i, &ran] { Spin(i); ran[i] = 1; },
                     [i, &handedOn, &ran, &allOnCaller, caller](std::exception_ptr error) {
                       EXPECT_FALSE(error);
                       EXPECT_EQ(ran[i], 1) << "handed on before its work ran";
                       allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
                       handedOn.push_back(i);
                     });
      }
      tasks.Finish();
    }
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i) expected.push_back(i);
    EXPECT_EQ(handedOn, expected);
    EXPECT_TRUE(allOnCaller);
  }
}

// With one thread nothing runs ahead: each task is run and handed on before
// the next one is prepared.
TEST(OrderedTasks, OneThreadRunsEachTaskBeforeTheNextIsPrepared) {
  std::vector<std::string> events;
  COrderedTasks tasks(1, 1000, 8);
  for (int i = 0; i < 3; ++i) {
    tasks.MakeRoom(1);
    events.push_back("prepare " + std::to_string(i));
    tasks.Submit(1, [i, &events] { events.push_back("run " + std::to_string(i)); },
                 [i, &events](std::exception_ptr) {
                   events.push_back("hand on " + std::to_string(i));
                 });
  }
  tasks.Finish();
  EXPECT_EQ(events, (std::vector<std::string>{"prepare 0", "run 0", "hand on 0", "prepare 1",
                                               "run 1", "hand on 1", "prepare 2", "run 2",
                                               "hand on 2"}));
}

// A failing work's exception reaches its own hand-on, after every earlier
// hand-on; a hand-on that rethrows ends the hand-ons: no later task is handed
// on, and destroying the scheduler waits for the running work.
TEST(OrderedTasks, FailureEndsTheHandOnsAtTheFailingTask) {
  for (unsigned int threads : {1u, 2u, 3u, 8u}) {
    SCOPED_TRACE(threads);
    std::vector<int> handedOn;
    std::atomic<int> running{0};
    const char* caught = nullptr;
    try {
      COrderedTasks tasks(threads, 1000, 8);
      for (int i = 0; i < 20; ++i) {
        tasks.MakeRoom(1);
        tasks.Submit(1,
                     [i, &running] {
                       ++running;
                       Spin(i);
                       --running;
                       if (i == 5) throw "task 5 failed";
                       if (i == 9) throw "task 9 failed";
                     },
                     [i, &handedOn](std::exception_ptr error) {
                       handedOn.push_back(i);
                       if (error) std::rethrow_exception(error);
                     });
      }
      tasks.Finish();
    } catch (const char* message) {
      caught = message;
    }
    ASSERT_NE(caught, nullptr);
    EXPECT_STREQ(caught, "task 5 failed");
    EXPECT_EQ(handedOn, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(running.load(), 0) << "work still running after the scheduler was destroyed";
  }
}

// After a hand-on has thrown, Finish (as called while unwinding a later
// failure) hands nothing more on.
TEST(OrderedTasks, FinishAfterAFailedHandOnDoesNothing) {
  std::vector<int> handedOn;
  COrderedTasks tasks(2, 1000, 8);
  for (int i = 0; i < 4; ++i)
    tasks.Submit(1, [] {}, [i, &handedOn](std::exception_ptr) {
      handedOn.push_back(i);
      if (i == 1) throw "hand-on 1 failed";
    });
  EXPECT_THROW(tasks.Finish(), const char*);
  tasks.Finish();
  tasks.MakeRoom(1000000);
  EXPECT_EQ(handedOn, (std::vector<int>{0, 1}));
}

// Records the largest cost and number of tasks in flight over a run.
struct InFlight {
  std::mutex mutex;
  std::size_t cost = 0, maxCost = 0;
  int tasks = 0, maxTasks = 0;
  void Start(std::size_t c) {
    std::lock_guard<std::mutex> lock(mutex);
    cost += c;
    ++tasks;
    maxCost = std::max(maxCost, cost);
    maxTasks = std::max(maxTasks, tasks);
  }
  void WorkDone(std::size_t c) {
    std::lock_guard<std::mutex> lock(mutex);
    cost -= c;
  }
  void HandedOn() {
    std::lock_guard<std::mutex> lock(mutex);
    --tasks;
  }
};

// The cost of what is prepared or running stays within the budget, except
// for a task larger than the budget, which runs alone; the number of tasks
// awaiting their hand-on stays within its bound.
TEST(OrderedTasks, BoundsCostAndTasksInFlight) {
  const std::vector<std::size_t> costs = {30, 50, 10, 10, 60, 100, 250, 5, 5, 5, 5, 90, 40, 1, 1};
  for (unsigned int threads : {2u, 3u, 8u}) {
    SCOPED_TRACE(threads);
    InFlight flight;
    std::size_t maxOverBudget = 0;
    COrderedTasks tasks(threads, 100, 4);
    for (std::size_t i = 0; i < costs.size(); ++i) {
      const std::size_t c = costs[i];
      tasks.MakeRoom(c);
      // What counts as in flight, right before this task is prepared.
      if (c > 100) {
        EXPECT_EQ(tasks.CostInFlight(), 0u) << "a task over the budget must run alone";
      } else {
        maxOverBudget = std::max(maxOverBudget, tasks.CostInFlight() + c);
      }
      flight.Start(c);
      tasks.Submit(c, [c, i, &flight] { Spin(static_cast<int>(i)); flight.WorkDone(c); },
                   [&flight](std::exception_ptr) { flight.HandedOn(); });
    }
    tasks.Finish();
    EXPECT_LE(maxOverBudget, 100u);
    EXPECT_LE(flight.maxTasks, 4);
    EXPECT_GE(flight.maxTasks, 2) << "nothing ever ran ahead";
    EXPECT_EQ(tasks.CostInFlight(), 0u);
  }
}

// Destroying the scheduler with work queued and running neither hangs nor
// hands anything on; work that has not started is dropped.
TEST(OrderedTasks, DestructionWithWorkInFlight) {
  std::atomic<int> ran{0};
  int handedOn = 0;
  {
    COrderedTasks tasks(2, 1000, 50);
    for (int i = 0; i < 30; ++i)
      tasks.Submit(1, [&ran] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ++ran;
      }, [&handedOn](std::exception_ptr) { ++handedOn; });
  }
  EXPECT_EQ(handedOn, 0);
  EXPECT_LT(ran.load(), 30);
}

}  // namespace
