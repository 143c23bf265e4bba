// Ordered hand-on of tasks run on worker threads; see OrderedTasks.h.
#include "vandrel/engine/OrderedTasks.h"

#include <utility>

namespace vandrel {

COrderedTasks::COrderedTasks(unsigned int threads, std::size_t costBudget, std::size_t maxTasks)
    : m_costBudget(costBudget), m_maxTasks(threads <= 1 || maxTasks == 0 ? 1 : maxTasks) {
  for (unsigned int i = 1; i < threads; ++i) {
    try {
      m_workers.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      break;  // fewer workers: the calling thread runs the rest
    }
  }
}

COrderedTasks::~COrderedTasks() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_workAvailable.notify_all();
  for (std::thread& t : m_workers) t.join();
  // Work not started is dropped with its task, here on the calling thread.
}

std::size_t COrderedTasks::CostInFlight() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_costInFlight;
}

COrderedTasks::Task* COrderedTasks::NextQueued() {
  return m_firstQueued < m_tasks.size() ? m_tasks[m_firstQueued].get() : nullptr;
}

void COrderedTasks::RunTask(Task& task, std::unique_lock<std::mutex>& lock) {
  task.started = true;
  ++m_firstQueued;
  Work work = std::move(task.work);
  lock.unlock();
  std::exception_ptr error;
  try {
    work();
  } catch (...) {
    error = std::current_exception();
  }
  work = nullptr;  // what the work held is freed by the thread that ran it
  lock.lock();
  task.error = error;
  task.done = true;
  m_costInFlight -= task.cost;
  m_workDone.notify_all();
}

void COrderedTasks::WorkerLoop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_workAvailable.wait(lock, [this] { return m_stopping || NextQueued() != nullptr; });
    if (m_stopping) return;
    RunTask(*NextQueued(), lock);
  }
}

bool COrderedTasks::HandOnFront(std::unique_lock<std::mutex>& lock) {
  if (m_tasks.empty() || !m_tasks.front()->done) return false;
  std::unique_ptr<Task> task = std::move(m_tasks.front());
  m_tasks.pop_front();
  --m_firstQueued;  // the front had started
  lock.unlock();
  // Relocks whether the hand-on returns or throws.
  struct Relock {
    std::unique_lock<std::mutex>& lock;
    ~Relock() { lock.lock(); }
  } relock{lock};
  HandOn handOn = std::move(task->handOn);
  std::exception_ptr error = task->error;
  task.reset();
  try {
    handOn(error);
  } catch (...) {
    m_handOnFailed = true;  // written unlocked: only this thread reads it
    throw;
  }
  return true;
}

void COrderedTasks::Step(std::unique_lock<std::mutex>& lock) {
  if (HandOnFront(lock)) return;
  if (Task* queued = NextQueued()) {
    RunTask(*queued, lock);
    return;
  }
  m_workDone.wait(lock);
}

void COrderedTasks::MakeRoom(std::size_t cost) {
  std::unique_lock<std::mutex> lock(m_mutex);
  auto fits = [&] {
    if (m_tasks.size() >= m_maxTasks) return false;
    return m_costInFlight == 0 || m_costInFlight + cost <= m_costBudget;
  };
  while (!m_handOnFailed && !fits()) Step(lock);
}

void COrderedTasks::Submit(std::size_t cost, Work work, HandOn handOn) {
  auto task = std::make_unique<Task>();
  task->cost = cost;
  task->work = std::move(work);
  task->handOn = std::move(handOn);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_costInFlight += cost;
    m_tasks.push_back(std::move(task));
  }
  m_workAvailable.notify_one();
}

void COrderedTasks::Finish() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_handOnFailed && !m_tasks.empty()) Step(lock);
}

}  // namespace vandrel
