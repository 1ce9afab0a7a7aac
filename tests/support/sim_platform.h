#pragma once

#include <QTemporaryDir>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace daylume::test {

// A main loop on a virtual clock. Nothing runs until the test advances the clock; tasks due at
// the same instant run in the order they were scheduled.
class SimLoop final : public MainLoop {
public:
    enum class Queue { None, Main, Network, Download };

    void async(Task task) override { schedule(now_, Queue::Main, std::move(task)); }
    void asyncAfter(Seconds delay, Task task) override {
        schedule(now_ + delay, Queue::Main, std::move(task));
    }
    // Schedules a task for one of the simulated HTTP client's queues.
    void scheduleOn(Queue queue, Seconds delay, Task task) {
        schedule(now_ + delay, queue, std::move(task));
    }

    std::shared_ptr<Timer> scheduledTimer(Seconds interval, bool repeats,
                                          TimerBlock block) override;
    // The virtual wall clock: `startDate` when the virtual clock reads 0.
    Date currentDate() const override {
        return startDate + std::chrono::duration_cast<Date::duration>(now_);
    }
    Date startDate = std::chrono::sys_days(std::chrono::year(2026) / 12 / 6);
    // Timers that are valid and will fire.
    int armedTimers() const;
    struct ScheduledTimer {
        Seconds at;
        Seconds interval;
        bool repeats;
    };
    const std::vector<ScheduledTimer>& scheduledTimers() const { return scheduled_; }

    Seconds now() const { return now_; }
    // Runs every task due up to and including `time`, then leaves the clock there.
    void runUntil(Seconds time);
    void runFor(Seconds duration) { runUntil(now_ + duration); }
    // The queue of the task now running: where a completion was called from.
    Queue currentQueue() const { return current_; }
    // Timers released while a network or download task ran: Qt's die only on their thread.
    int timersReleasedOffMain = 0;

private:
    void schedule(Seconds at, Queue queue, Task task);

    struct Entry {
        Queue queue;
        Task task;
    };
    // Keyed by (due time in microseconds, sequence number).
    Queue current_ = Queue::None;  // before the tasks: a timer they hold may ask at the end
    std::map<std::pair<long long, long long>, Entry> tasks_;
    long long sequence_ = 0;
    std::vector<std::weak_ptr<Timer>> timers_;
    std::vector<ScheduledTimer> scheduled_;
    Seconds now_{0};
};

// The install queue, as the loop's Download queue: the simulated downloads complete there too.
class SimInstallQueue final : public WorkQueue {
public:
    explicit SimInstallQueue(SimLoop& loop) : loop_(loop) {}
    void async(Task task) override {
        loop_.scheduleOn(SimLoop::Queue::Download, Seconds(0), std::move(task));
    }

private:
    SimLoop& loop_;
};

// A scripted answer to a request. Unscripted requests never finish.
struct ScriptedAnswer {
    Seconds delay{0};
    std::optional<std::string> body;
    HttpResponse response{200, "application/json"};
    std::optional<Error> error;
};

class SimHttp final : public HttpClient {
public:
    SimHttp(SimLoop& loop, std::filesystem::path tempDir)
        : loop_(loop), tempDir_(std::move(tempDir)) {}

    // Every later request for `url` gets this answer; for downloads the body becomes the file.
    void script(const std::string& url, ScriptedAnswer answer) {
        script(url, std::vector{std::move(answer)});
    }
    // Later requests for `url` get these answers in turn; the last one repeats.
    void script(const std::string& url, std::vector<ScriptedAnswer> answers) {
        answers_[url] = {std::move(answers), 0};
    }

    struct Request {
        std::string url;
        Seconds at;
        bool download;
        SimLoop::Queue queue;  // where the request was made from
        bool cancelled = false;
    };
    const std::vector<Request>& requests() const { return requests_; }
    std::vector<Request> downloads() const;

    HttpTaskId dataTask(const Url& url, DataCompletion completion) override;
    void downloadTask(const Url& url, DownloadCompletion completion) override;
    void cancel(HttpTaskId task) override { requests_.at(task - 1).cancelled = true; }

private:
    SimLoop& loop_;
    std::filesystem::path tempDir_;
    std::optional<ScriptedAnswer> nextAnswer(const std::string& url);

    struct Script {
        std::vector<ScriptedAnswer> answers;
        std::size_t used;
    };
    std::map<std::string, Script> answers_;
    std::vector<Request> requests_;
    int downloads_ = 0;
};

// The real file manager on a temporary folder; a test may change or fail what a listing gives.
class ScriptedFiles final : public FileManager {
public:
    using FileManager::FileManager;
    std::function<void(std::vector<DirectoryEntry>&)> onListing;  // may throw Failure
    std::vector<DirectoryEntry> contentsOfDirectory(
        const std::filesystem::path& directory) const override {
        std::vector<DirectoryEntry> entries = FileManager::contentsOfDirectory(directory);
        if (onListing) onListing(entries);
        return entries;
    }
};

// Records what would have become the desktop picture.
class RecordingDesktop final : public Desktop {
public:
    explicit RecordingDesktop(const SimLoop& loop) : loop_(loop) {}
    std::optional<Screen> screen = Screen{"SIM-1"};
    std::optional<Error> failure;  // thrown by setDesktopPicture when set
    std::vector<std::filesystem::path> pictures;
    std::vector<SimLoop::Queue> setOn;  // the queue each picture was set from

    PixelSize screenSize{1920, 1080};
    LockScreen lockScreenKind = LockScreen::OwnPicture;
    std::optional<Error> lockScreenFailure;
    std::vector<std::filesystem::path> lockScreenPictures;

    std::optional<Screen> mainScreen() const override { return screen; }
    void setDesktopPicture(const std::filesystem::path& picture, const Screen& screen) override;
    PixelSize largestScreen() const override { return screen ? screenSize : PixelSize{}; }
    LockScreen lockScreen() const override { return lockScreenKind; }
    void setLockScreenPicture(const std::filesystem::path& picture) override {
        if (lockScreenFailure) throw Failure(*lockScreenFailure);
        lockScreenPictures.push_back(picture);
    }
    // Back to what it showed before Daylume: recorded as an empty path.
    void restoreLockScreen() override { lockScreenPictures.emplace_back(); }
    std::optional<std::filesystem::path> lockScreenPicture() const override {
        if (lockScreenPictures.empty() || lockScreenPictures.back().empty()) return std::nullopt;
        return lockScreenPictures.back();
    }

private:
    const SimLoop& loop_;
};

// Records the tray icon, the dialogs shown and the URLs opened; dialogs are answered from a
// script of button returns.
class SimApplication final : public Application {
public:
    struct SimStatusItem final : StatusItem {
        std::string image;
        std::vector<MenuEntry> menu;
        std::string toolTip;
        void setImage(std::string_view name) override { image = name; }
        void setMenu(std::vector<MenuEntry> entries) override { menu = std::move(entries); }
        void setToolTip(std::string_view text) override { toolTip = text; }
        bool trayExists() const override { return tray; }
        bool tray = true;
    };

    void terminate() override { ++terminations; }
    ActivationPolicy activationPolicy() const override { return policy; }
    void setActivationPolicy(ActivationPolicy value) override { policy = value; }
    int runModal(const Alert& alert) override;
    void openURL(const Url& url) override { openedURLs.push_back(url.absoluteString()); }
    void openFolder(const std::filesystem::path&) override {}
    void showStatus(const PictureStatus& value) override { status = value; }
    void setStatusActions(std::vector<MenuEntry> actions) override {
        std::ranges::move(actions, std::back_inserter(statusActions));
    }
    void presentWindow() override {
        policy = ActivationPolicy::Regular;
        ++presented;
    }
    void showDays(const std::vector<DayPicture>& value) override { days = value; }
    void setWindowActions(WindowActions actions) override { windowActions = std::move(actions); }
    void postNotification(const Notification& notification) override {
        notifications.push_back(notification);
    }
    std::unique_ptr<StatusItem> makeStatusItem() override;
    void showPreferences(const PreferencesStatus& value) override { preferences = value; }
    void setPreferenceActions(PreferenceActions actions) override {
        preferenceActions = std::move(actions);
    }
    void openPreferencesDialog() override { ++preferencesDialogs; }
    void saveCopy(const std::filesystem::path& picture, const std::string& name) override {
        savedCopies.emplace_back(picture, name);
    }

    ActivationPolicy policy = ActivationPolicy::Accessory;
    int terminations = 0;
    std::vector<Alert> alerts;
    std::vector<int> answers;  // returned by runModal in turn; kAlertFirstButtonReturn after
    std::vector<std::string> openedURLs;
    PictureStatus status;
    std::vector<Notification> notifications;
    SimStatusItem* statusItem = nullptr;  // the last one made
    int statusItemsMade = 0;
    PreferencesStatus preferences;
    PreferenceActions preferenceActions;
    int preferencesDialogs = 0;
    std::vector<MenuEntry> statusActions;  // the window's buttons
    int presented = 0;
    std::vector<DayPicture> days;
    WindowActions windowActions;
    bool trayHost = true;  // the status items made have a tray
    std::vector<std::pair<std::filesystem::path, std::string>> savedCopies;
};

// Choices in memory; saving fails while `failure` is set.
class SimPreferences final : public PreferenceStore {
public:
    Preferences kept;
    std::optional<Error> failure;
    Preferences load() const override { return kept; }
    void save(Preference preference, bool on) override;
    void saveRegion(const std::string& market) override;
    bool keepsStartAtLogin() const override { return !sandboxed; }
    bool sandboxed = false;
};

// Settings and string tables from maps; a key without an entry is its own text.
class SimBundle final : public Bundle {
public:
    std::map<std::string, std::string, std::less<>> strings;
    std::map<std::string, std::string, std::less<>> settings = {
        {"CFBundleShortVersionString", "2.3"}, {"CFBundleVersion", "17"}};
    std::string locale = "en_US";

    std::optional<std::string> stringValue(std::string_view key) const override;
    std::string localizedString(std::string_view key) const override;
    std::string localizedTime(Date date) const override;  // "HH:MM", UTC
    std::string localeName() const override { return locale; }
};

class SimNotifications final : public Notifications {
public:
    void addObserver(SystemEvent event, Task handler) override {
        observers.emplace_back(event, std::move(handler));
    }
    void removeObservers() override { observers.clear(); }
    // Delivers an event as the system would, to every observer of it.
    void post(SystemEvent event);

    std::vector<std::pair<SystemEvent, Task>> observers;
};

class CapturedLog final : public Log {
public:
    std::vector<std::string> lines() const;
    // How many lines begin with `prefix`.
    int count(std::string_view prefix) const;
    void clear();

protected:
    void write(std::string_view line) override;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// A temporary directory, removed with everything in it when the object goes.
class TempDir {
public:
    const std::filesystem::path& path() const { return path_; }

private:
    QTemporaryDir dir_{QDir::tempPath() + "/daylume-test-XXXXXX"};
    std::filesystem::path path_ = dir_.path().toStdString();
};

// The whole simulated platform; files are real, in a temporary directory.
struct SimPlatform {
    SimPlatform();

    TempDir temp;
    std::filesystem::path dataHome;  // stands for ~/.local/share
    SimLoop loop;
    SimInstallQueue installQueue{loop};
    SimHttp http;
    ScriptedFiles files;
    RecordingDesktop desktop;
    CapturedLog log;
    SimApplication application;
    SimBundle bundle;
    SimNotifications notifications;
    SimPreferences preferences;
    Platform platform;

    // The same, but on a real main loop, install queue and HTTP client.
    Platform with(MainLoop& realLoop, WorkQueue& realQueue, HttpClient& realHttp) {
        return {realLoop, realQueue,   realHttp, files,         desktop,
                log,      application, bundle,   notifications, preferences};
    }

    std::filesystem::path imageFolder() const { return dataHome / "Daylume"; }
    // The names in the image folder, hidden ones too but for the store's index of picture names;
    // none while it does not exist.
    std::set<std::string> storedNames() const;
};

// The whole text of a file; empty when there is none.
std::string readText(const std::filesystem::path& path);

// A small valid picture in `format` ("JPEG", "PNG", "WEBP", "BMP"): of one colour, or of noise
// from `seed` (which compresses badly, and differs from seed to seed). Empty if Qt cannot write
// that format.
std::string encodedImage(const char* format, int width = 64, int height = 36, unsigned seed = 0);
inline std::string jpegBytes(int width = 64, int height = 36, unsigned seed = 0) {
    return encodedImage("JPEG", width, height, seed);
}

}  // namespace daylume::test
