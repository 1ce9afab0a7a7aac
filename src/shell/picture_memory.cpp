// What Daylume remembers of the picture it put on the desktop, from one run to the next: the
// window, the tooltip, Image Source and Save a Copy show it before the first check has ended;
// a picture the user chose stays through a restart, as do the names of those shown.
#include <charconv>
#include <sstream>

#include "platform/image_probe.h"
#include "platform/json.h"
#include "shell/app_delegate.h"

namespace daylume {
namespace fs = std::filesystem;

namespace {

// A state file larger than this is none of Daylume's.
constexpr std::size_t kMemoryLimit = 64 << 10;

fs::path memoryFile(const FileManager& files) {
    return files.stateDirectory() / "Daylume" / "shown.json";
}

}  // namespace

void AppDelegate::rememberShownPicture() {
    const auto& shown = status_.shownPicture();
    if (!shown) return;
    const FoundImage& found = shown->found;
    const auto setAt =
        std::chrono::duration_cast<std::chrono::seconds>(shown->setAt.time_since_epoch());
    std::vector<std::pair<std::string, std::string>> members = {
        {"address", found.url.absoluteString()},
        {"market", found.market},
        {"file", shown->file.string()},
        {"setAt", std::to_string(setAt.count())}};
    std::string names;
    for (const std::string& name : shownNames_) names += name + "\n";
    members.emplace_back("shownNames", names);
    if (userChoseDay_) members.emplace_back("chosen", "true");
    for (const auto& [key, fact] : {std::pair{"title", &found.facts.title},
                                    {"credit", &found.facts.copyright},
                                    {"link", &found.facts.copyrightLink}})
        if (*fact) members.emplace_back(key, **fact);
    try {
        platform_.files.writeFile(memoryFile(platform_.files), Json::object(members));
    } catch (const Failure&) {
        // Only the next launch knows less: it shows the picture once its check has ended.
    }
}

void AppDelegate::recallShownPicture() {
    const std::optional<std::string> text =
        platform_.files.readFile(memoryFile(platform_.files), kMemoryLimit);
    const std::optional<Json> json = text ? Json::parse(*text) : std::nullopt;
    if (!json || !json->isObject()) return;
    auto member = [&](std::string_view key) -> std::optional<std::string> {
        const std::optional<Json> value = json->member(key);
        return value && value->isString() ? std::optional(value->string()) : std::nullopt;
    };
    std::istringstream names(member("shownNames").value_or(""));
    for (std::string name; std::getline(names, name);)
        if (!name.empty()) shownNames_.push_back(name);
    const std::optional<Url> address = Url::parse(member("address").value_or(""));
    const fs::path file = member("file").value_or("");
    const std::string setAt = member("setAt").value_or("");
    long long seconds = 0;
    std::from_chars(setAt.data(), setAt.data() + setAt.size(), seconds);
    try {
        // Only a picture still in the store.
        if (!address || file.parent_path() != store_.imageFolder() ||
            !isStoredImageName(file.filename().native()) || !platform_.files.fileExists(file))
            return;
    } catch (const Failure&) {
        return;  // no data folder
    }
    userChoseDay_ = member("chosen") == "true";
    const std::optional<ImageInfo> info = probeImage(file);
    status_.restore({FoundImage{*address,
                                {member("title"), member("credit"), member("link")},
                                std::nullopt,
                                member("market").value_or("")},
                     file, info ? PixelSize{info->width, info->height} : PixelSize{},
                     Date(std::chrono::seconds(seconds))});
}

}  // namespace daylume
