#include "support/sim_platform.h"

#include <QBuffer>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>

namespace daylume::test {
namespace fs = std::filesystem;

void SimLoop::schedule(Seconds at, Queue queue, Task task) {
    const auto micros = std::llround(at.count() * 1e6);
    tasks_.emplace(std::pair(micros, sequence_++), Entry{queue, std::move(task)});
}

void SimLoop::runUntil(Seconds time) {
    const auto limit = std::llround(time.count() * 1e6);
    while (!tasks_.empty() && tasks_.begin()->first.first <= limit) {
        auto node = tasks_.extract(tasks_.begin());
        now_ = Seconds(double(node.key().first) / 1e6);
        const Queue previous = current_;
        current_ = node.mapped().queue;
        node.mapped().task();
        node.mapped().task = nullptr;  // released where it ran, as a thread's queue does
        current_ = previous;
    }
    now_ = time;
}

namespace {

// Fires from the loop; a repeating timer is rescheduled from its due time, not from when its
// block returned.
class SimTimer final : public Timer, public std::enable_shared_from_this<SimTimer> {
public:
    SimTimer(SimLoop& loop, Seconds interval, bool repeats, TimerBlock block)
        : loop_(loop), interval_(interval), repeats_(repeats), block_(std::move(block)) {}
    ~SimTimer() override {
        const auto queue = loop_.currentQueue();
        loop_.timersReleasedOffMain +=
            queue == SimLoop::Queue::Network || queue == SimLoop::Queue::Download;
    }

    void arm(Seconds delay) {
        loop_.asyncAfter(delay, [self = shared_from_this()] { self->fire(); });
    }
    void invalidate() override { valid_ = false; }
    bool isValid() const override { return valid_; }

private:
    void fire() {
        if (!valid_) return;
        if (repeats_)
            arm(interval_);
        else
            valid_ = false;
        block_(shared_from_this());
    }

    SimLoop& loop_;
    Seconds interval_;
    bool repeats_;
    TimerBlock block_;
    bool valid_ = true;
};

}  // namespace

std::shared_ptr<Timer> SimLoop::scheduledTimer(Seconds interval, bool repeats, TimerBlock block) {
    auto timer = std::make_shared<SimTimer>(*this, interval, repeats, std::move(block));
    timer->arm(interval);
    timers_.push_back(timer);
    scheduled_.push_back({now_, interval, repeats});
    return timer;
}

int SimLoop::armedTimers() const {
    int armed = 0;
    for (const auto& weak : timers_)
        if (const auto timer = weak.lock(); timer && timer->isValid()) ++armed;
    return armed;
}

std::optional<ScriptedAnswer> SimHttp::nextAnswer(const std::string& url) {
    const auto it = answers_.find(url);
    if (it == answers_.end() || it->second.answers.empty()) return std::nullopt;
    Script& script = it->second;
    return script.answers[std::min(script.used++, script.answers.size() - 1)];
}

HttpTaskId SimHttp::dataTask(const Url& url, DataCompletion completion) {
    requests_.push_back({url.absoluteString(), loop_.now(), false, loop_.currentQueue()});
    const HttpTaskId id = requests_.size();
    const auto scripted = nextAnswer(url.absoluteString());
    if (!scripted) return id;
    const ScriptedAnswer answer = *scripted;
    loop_.scheduleOn(SimLoop::Queue::Network, answer.delay, [this, id, answer, completion] {
        if (requests_[id - 1].cancelled) return;
        completion(answer.error ? std::nullopt : answer.body, answer.response, answer.error);
    });
    return id;
}

std::vector<SimHttp::Request> SimHttp::downloads() const {
    std::vector<Request> result;
    std::ranges::copy_if(requests_, std::back_inserter(result), &Request::download);
    return result;
}

void SimHttp::downloadTask(const Url& url, DownloadCompletion completion) {
    requests_.push_back({url.absoluteString(), loop_.now(), true, loop_.currentQueue()});
    const auto scripted = nextAnswer(url.absoluteString());
    if (!scripted) return;
    const ScriptedAnswer answer = *scripted;
    const fs::path file = tempDir_ / ("download-" + std::to_string(++downloads_));
    loop_.scheduleOn(SimLoop::Queue::Download, answer.delay, [answer, file, completion] {
        std::optional<fs::path> delivered;
        if (answer.body) {
            std::ofstream(file, std::ios::binary) << *answer.body;
            delivered = file;
        }
        completion(answer.error ? std::nullopt : delivered, answer.response, answer.error);
        fs::remove(file);  // as a real client does once the completion returns
    });
}

void RecordingDesktop::setDesktopPicture(const fs::path& picture, const Screen&) {
    if (failure) throw Failure(*failure);
    pictures.push_back(picture);
    setOn.push_back(loop_.currentQueue());
}

void SimPreferences::save(Preference preference, bool on) {
    if (failure) throw Failure(*failure);
    choice(kept, preference) = on;
}

void SimPreferences::saveRegion(const std::string& market) {
    if (failure) throw Failure(*failure);
    kept.region = market;
}

int SimApplication::runModal(const Alert& alert) {
    alerts.push_back(alert);
    const std::size_t shown = alerts.size() - 1;
    return shown < answers.size() ? answers[shown] : kAlertFirstButtonReturn;
}

std::unique_ptr<StatusItem> SimApplication::makeStatusItem() {
    auto item = std::make_unique<SimStatusItem>();
    item->tray = trayHost;
    statusItem = item.get();
    ++statusItemsMade;
    return item;
}

std::optional<std::string> SimBundle::stringValue(std::string_view key) const {
    const auto it = settings.find(key);
    if (it == settings.end()) return std::nullopt;
    return it->second;
}

std::string SimBundle::localizedString(std::string_view key) const {
    const auto it = strings.find(key);
    return it == strings.end() ? std::string(key) : it->second;
}

std::string SimBundle::localizedTime(Date date) const {
    const std::chrono::hh_mm_ss time(date - std::chrono::floor<std::chrono::days>(date));
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", int(time.hours().count()),
                  int(time.minutes().count()));
    return text;
}

void SimNotifications::post(SystemEvent event) {
    const auto current = observers;
    for (const auto& [observed, handler] : current)
        if (observed == event) handler();
}

void CapturedLog::write(std::string_view line) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
}

std::vector<std::string> CapturedLog::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

int CapturedLog::count(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    return int(std::ranges::count_if(lines_, [&](const auto& l) { return l.starts_with(prefix); }));
}

void CapturedLog::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

SimPlatform::SimPlatform()
    : dataHome(temp.path() / "data"),
      http(loop, temp.path()),
      files(dataHome, temp.path() / "state", temp.path() / "cache"),
      desktop(loop),
      platform{loop, installQueue, http,   files,         desktop,
               log,  application,  bundle, notifications, preferences} {}

std::set<std::string> SimPlatform::storedNames() const {
    std::set<std::string> names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(imageFolder(), missing))
        if (entry.path().filename() != ".names") names.insert(entry.path().filename().string());
    return names;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string encodedImage(const char* format, int width, int height, unsigned seed) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(0x3366cc));
    std::mt19937 noise(seed);
    for (int y = 0; seed && y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, noise());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format)) return {};
    return bytes.toStdString();
}

}  // namespace daylume::test
