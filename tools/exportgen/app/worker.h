// A second thread for work that shares nothing with the first but its input.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace exportgen::app {

// Runs one task at a time on a second thread. wait() returns once the task given last is done
// and rethrows what it threw; the destructor lets a running task finish first.
class Worker {
public:
    Worker() : m_thread([this] { loop(); }) {}
    ~Worker() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void run(std::function<void()> task) {
        wait();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_task = std::move(task);
        }
        m_wake.notify_all();
    }

    void wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return !m_task; });
        if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
    }

private:
    void loop() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (true) {
            m_wake.wait(lock, [this] { return m_stop || m_task; });
            if (!m_task) return;
            const std::function<void()> task = m_task;
            lock.unlock();
            try {
                task();
            } catch (...) {
                lock.lock();
                m_error = std::current_exception();
                lock.unlock();
            }
            lock.lock();
            m_task = nullptr;
            m_done.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    std::function<void()> m_task;
    std::exception_ptr m_error;
    bool m_stop = false;
    std::thread m_thread;  // last: it starts once the members it uses are made
};

}  // namespace exportgen::app
