// The registry of what a termination tidies up, shared by both halves of
// the platform layer.
#include "util/PlatformTermination.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "util/Platform.h"

namespace talvine::platform {

namespace {

constexpr size_t kPathMax = 4096;
constexpr size_t kTextMax = 1024;

enum SlotState : int { kFree = 0, kBusy = 1, kValid = 2 };
char g_tempPaths[kMaxTempPaths][kPathMax];
std::atomic<int> g_tempState[kMaxTempPaths];

char g_cleanupFolder[kPathMax];
std::atomic<bool> g_cleanupValid{false};

char g_texts[2][2][kTextMax];  // [buffer][stdout, stderr]
std::atomic<int> g_textBuffer{-1};

// Set when a termination begins: no path is registered and no temporary
// file made after it.
std::atomic<bool> g_terminating{false};
// Threads between registering a temporary file and having made it.
std::atomic<int> g_creating{0};

void Copy(char* to, const std::string& from, size_t size) {
    const size_t n = std::min(from.size(), size - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

}  // namespace

bool RegisterTempPath(const std::string& path) {
    if (path.size() >= kPathMax) return false;
    for (int i = 0; i < kMaxTempPaths; ++i) {
        int expected = kFree;
        if (!g_tempState[i].compare_exchange_strong(expected, kBusy)) continue;
        // Once a termination reads the slots, their paths stay as they are.
        if (g_terminating.load()) {
            g_tempState[i].store(kFree);
            return false;
        }
        Copy(g_tempPaths[i], path, kPathMax);
        g_tempState[i].store(kValid);
        return true;
    }
    return false;
}

File CreateTempFile(const std::string& path) {
    // Counted before the termination flag is read, so that a termination
    // that sets it afterwards sees this thread and waits for the file.
    g_creating.fetch_add(1);
    File file;
    if (!g_terminating.load() && RegisterTempPath(path)) {
        file = File::CreateNew(path);
        if (!file.IsOpen()) UnregisterTempPath(path);
    }
    g_creating.fetch_sub(1);
    return file;
}

void UnregisterTempPath(const std::string& path) {
    // A slot's path is compared only while this thread holds the slot: on
    // another thread it may be freed and taken for another path meanwhile.
    for (int i = 0; i < kMaxTempPaths; ++i) {
        int expected = kValid;
        if (!g_tempState[i].compare_exchange_strong(expected, kBusy)) continue;
        const bool mine = path == g_tempPaths[i];
        g_tempState[i].store(mine ? kFree : kValid);
        if (mine) return;
    }
}

void SetCleanupFolder(const std::string& folder) {
    g_cleanupValid.store(false);
    if (folder.empty() || folder.size() >= kPathMax) return;
    Copy(g_cleanupFolder, folder, kPathMax);
    g_cleanupValid.store(true);
}

void SetTerminationTexts(const std::string& toStdout, const std::string& toStderr) {
    const int next = g_textBuffer.load() == 0 ? 1 : 0;
    Copy(g_texts[next][0], toStdout, kTextMax);
    Copy(g_texts[next][1], toStderr, kTextMax);
    g_textBuffer.store(next);
}

namespace termination {

void ForEachTempPath(void (*remove)(const char* path), void (*pause)()) {
    g_terminating.store(true);
    // Files being made on other threads are waited for (a while: should
    // the termination have interrupted such a thread, it waits for no one).
    constexpr int kWaits = 500;
    for (int w = 0; w < kWaits && g_creating.load() > 0; ++w) pause();
    for (int i = 0; i < kMaxTempPaths; ++i) {
        for (int w = 0; w < kWaits && g_tempState[i].load() == kBusy; ++w) pause();
        if (g_tempState[i].load() == kValid) remove(g_tempPaths[i]);
    }
}

const char* CleanupFolder() { return g_cleanupValid.load() ? g_cleanupFolder : nullptr; }

const char* Text(int stream) {
    const int b = g_textBuffer.load();
    return b >= 0 ? g_texts[b][stream == 0 ? 0 : 1] : nullptr;
}

}  // namespace termination

}  // namespace talvine::platform
