#pragma once
// Tasks that run on worker threads and are handed on in the order they were
// submitted.
//
// The submitting thread prepares each task (anything that must happen in a
// fixed order, such as random draws, is done there), submits its work, and
// goes on preparing the next ones while workers run the work.  Every task's
// hand-on runs on the submitting thread, strictly in submission order, after
// its work has finished; so whatever a hand-on writes appears exactly as if
// the tasks had run one after the other.
//
// What is prepared ahead is bounded twice: by a budget of "cost" (the caller's
// measure of the memory a task holds until its work is done) and by a number
// of tasks not yet handed on.  A task always fits when nothing else is in
// flight, so one larger than the budget still runs, alone.
//
// A submitting thread that has to wait runs queued work itself, so with one
// thread (no workers) every task is run and handed on before the next is
// prepared, which is the plain sequential order.
//
// Failures: an exception thrown by a task's work is kept and given to that
// task's hand-on; an exception thrown by a hand-on ends the hand-ons and
// propagates to the caller of MakeRoom / Finish.  The destructor drops the
// work that has not started, waits for the running work and joins the
// workers; it never throws.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vandrel {

class COrderedTasks {
 public:
  using Work = std::function<void()>;
  // Gets the work's exception, or null when the work succeeded.
  using HandOn = std::function<void(std::exception_ptr)>;

  // threads: threads that run work, the calling one included (at least 1;
  // threads - 1 workers are started).  costBudget: the cost that may be in
  // flight at once.  maxTasks: tasks that may await their hand-on at once
  // (at least 1; with one thread always 1, as nobody else could run them).
  COrderedTasks(unsigned int threads, std::size_t costBudget, std::size_t maxTasks);
  COrderedTasks(const COrderedTasks&) = delete;
  COrderedTasks& operator=(const COrderedTasks&) = delete;
  ~COrderedTasks();

  // Returns once a task of this cost may be submitted: runs queued work on
  // this thread and hands on finished tasks, in order, until it fits.
  void MakeRoom(std::size_t cost);
  // Queues the work of the next task.  Its cost counts until the work is
  // done; its hand-on runs later on this thread (from MakeRoom or Finish),
  // after every earlier task's hand-on.  Does not wait.
  void Submit(std::size_t cost, Work work, HandOn handOn);
  // Hands on every submitted task, in order.  After a hand-on has thrown,
  // MakeRoom and Finish return at once: no later task is handed on.
  void Finish();

  // Cost of the tasks whose work is not done yet.
  std::size_t CostInFlight() const;

 private:
  struct Task {
    std::size_t cost = 0;
    Work work;
    HandOn handOn;
    bool started = false;
    bool done = false;
    std::exception_ptr error;
  };

  void WorkerLoop();
  // Runs the task's work (the lock is released meanwhile).
  void RunTask(Task& task, std::unique_lock<std::mutex>& lock);
  // Hands on the oldest task if its work is done; false otherwise.
  bool HandOnFront(std::unique_lock<std::mutex>& lock);
  // One step towards the front task's hand-on: hand it on, else run queued
  // work, else wait for a worker.
  void Step(std::unique_lock<std::mutex>& lock);
  Task* NextQueued();

  const std::size_t m_costBudget;
  const std::size_t m_maxTasks;

  mutable std::mutex m_mutex;
  std::condition_variable m_workAvailable;  // workers wait here
  std::condition_variable m_workDone;       // the submitting thread waits here
  std::deque<std::unique_ptr<Task>> m_tasks;  // not yet handed on, in order
  std::size_t m_firstQueued = 0;  // index in m_tasks of the first task not started
  std::size_t m_costInFlight = 0;
  bool m_handOnFailed = false;  // no hand-on follows one that threw
  bool m_stopping = false;
  std::vector<std::thread> m_workers;  // last member: started once the rest exists
};

}  // namespace vandrel
