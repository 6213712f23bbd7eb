// Answers the message boxes this process shows, from a thread of its own, and keeps what each
// one said: a routine that calls MessageBoxW can then be run to its end inside a test.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenMessageBox {
    std::wstring caption;
    std::wstring text;
    // The box offered an OK button and no other one.
    bool okButtonOnly;
};

class MessageBoxCatcher {
public:
    MessageBoxCatcher();
    ~MessageBoxCatcher();
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    // Every box answered so far. A box blocks its caller until answered, so once the routine
    // under test has returned, this holds all the boxes it showed.
    std::vector<SeenMessageBox> Seen() const;

private:
    void Watch();

    std::atomic<bool> stopping_{false};
    mutable std::mutex seenLock_;
    std::vector<SeenMessageBox> seen_;
    std::thread watcher_;
};
