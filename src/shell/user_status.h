#pragma once

#include <bitset>
#include <filesystem>
#include <optional>
#include <string>

#include "pipeline/picture_types.h"
#include "platform/application.h"

namespace daylume {

// The picture Daylume last put on the desktop, and the find it came from.
struct ShownPicture {
    FoundImage found;
    std::filesystem::path file;
    PixelSize size;
    Date setAt;
};

// What the user is shown of Daylume's work: the picture on the desktop, the checks running and
// the last step that failed, in the tooltip, the task-bar window and notifications. Main thread.
class UserStatus {
public:
    // `serviceOrigin`: the image service, whose own pages about a picture are offered.
    UserStatus(Application& application, const Bundle& bundle, const MainLoop& clock,
               Url serviceOrigin)
        : application_(application),
          bundle_(bundle),
          clock_(clock),
          serviceOrigin_(std::move(serviceOrigin)) {}

    void lookupStarted() { ++lookupsRunning_; }
    // `first`: the lookup's first result (a late find after the deadline is not). `why` when
    // nothing was found.
    void lookupEnded(bool first, const std::optional<LookupFailure>& why);
    // A new picture is announced, where `notify`, once the find's facts are final: at once, or
    // at retitle().
    void installEnded(const FoundImage& found, const InstallOutcome& outcome, bool notify = true);
    // Shown until the next install or success.
    void lockScreenFailed(const Error& error);
    // The final facts of the picture on the desktop.
    void retitle(const PictureFacts& facts);

    // Shows the status in the window, and in the tooltip of `statusItem` where there is one;
    // `installing`: a download or install is under way.
    void show(StatusItem* statusItem, bool installing) const;

    // The picture Daylume last put on the desktop, also one remembered from an earlier run.
    const std::optional<ShownPicture>& shownPicture() const { return shownPicture_; }
    void restore(ShownPicture shown) { shownPicture_ = std::move(shown); }

    // A cause in the user's language.
    std::string causeText(Cause cause, const std::string& detail) const;

    // The steps whose failure is shown.
    enum class Step { Lookup, Download, Store, Desktop, LockScreen };

private:
    std::string localized(std::string_view key) const { return bundle_.localizedString(key); }

    Application& application_;
    const Bundle& bundle_;
    const MainLoop& clock_;
    const Url serviceOrigin_;

    // The last step that failed, until a later success of it or of the whole install.
    struct Problem {
        Step step;
        std::string cause;
        Date at;
    };
    std::optional<ShownPicture> shownPicture_;
    std::optional<Problem> problem_;
    int lookupsRunning_ = 0;
    // A picture stored new and not yet announced: announced once it is on the desktop with its
    // final facts. A copy kept already (a second launch, a refresh) was announced when it was
    // stored.
    std::optional<std::filesystem::path> unannounced_;
    bool announcementWaits_ = false;  // for the shown picture's final facts
    void announce();
    // The desktop failures notified since the last success, by cause.
    std::bitset<kCauseCount> toldDesktopFailures_;
};

}  // namespace daylume
