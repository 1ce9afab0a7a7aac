#include <array>

#include "shell/app_delegate.h"

namespace daylume {
namespace {

// The text with its first `placeholder` replaced by `value`.
std::string filledIn(std::string text, std::string_view placeholder, std::string_view value) {
    if (const auto at = text.find(placeholder); at != std::string::npos)
        text.replace(at, placeholder.size(), value);
    return text;
}

}  // namespace

void AppDelegate::noteLookupEnded(bool first, bool found, LookupFailure why) {
    if (first) --lookupsRunning_;
    if (found) {
        if (problem_ && problem_->step == Problem::Step::Lookup) problem_.reset();
    } else {
        static constexpr std::array<std::string_view, 4> causes = {
            "cause_no_answer", "cause_no_picture", "cause_not_trusted", "cause_no_network"};
        problem_ = Problem{Problem::Step::Lookup, localized(causes[std::size_t(why)]),
                           platform_.mainLoop.currentDate()};
    }
    updateStatus();
}

void AppDelegate::noteInstallEnded(const PictureFacts& facts, const InstallOutcome& outcome) {
    const Date now = platform_.mainLoop.currentDate();
    if (outcome.error) {
        problem_ = Problem{outcome.inDownload ? Problem::Step::Download : Problem::Step::Desktop,
                           outcome.error->message, now};
        // A desktop Daylume cannot set needs the user, who rarely reads the log: say it once.
        if (!outcome.inDownload && outcome.error->domain == "Desktop" &&
            !std::exchange(toldDesktopFailure_, true))
            platform_.application.postNotification(
                {localized("notification_desktop_failed"), outcome.error->message, std::nullopt});
    } else {
        problem_.reset();
        if (outcome.onDesktop) {
            shownPicture_ = ShownPicture{facts, *outcome.picture, now};
            // Once for each picture: not again for the launch's second install of it, nor for
            // a refresh that sets it again.
            if (notifiedPicture_ != outcome.picture)
                platform_.application.postNotification(
                    {facts.title.value_or(localized("notification_new_picture")),
                     facts.copyright.value_or(""), outcome.picture});
            notifiedPicture_ = outcome.picture;
        }
    }
    updateStatus();
}

void AppDelegate::updateStatus() {
    PictureStatus status;
    if (shownPicture_) {
        status.title = shownPicture_->facts.title.value_or(localized("status_untitled"));
        status.credit = shownPicture_->facts.copyright.value_or("");
        status.setAt = filledIn(localized("status_set_at"), "%1",
                                platform_.bundle.localizedTime(shownPicture_->setAt));
        status.picture = shownPicture_->file;
    } else {
        status.title = localized("status_no_picture");
    }
    if (lookupsRunning_ > 0 || !installsRunning_.empty()) {
        status.activity = localized("status_checking");
    } else if (problem_) {
        static constexpr std::array<std::string_view, 3> failures = {
            "status_lookup_failed", "status_download_failed", "status_desktop_failed"};
        status.activity = filledIn(filledIn(localized(failures[std::size_t(problem_->step)]), "%1",
                                            platform_.bundle.localizedTime(problem_->at)),
                                   "%2", problem_->cause);
    }
    if (statusItem) {
        std::string tip = "Daylume";
        for (const std::string* line :
             {&status.title, &status.credit, &status.setAt, &status.activity})
            if (!line->empty()) tip += "\n" + *line;
        statusItem->setToolTip(tip);
    }
    platform_.application.showStatus(status);
}

}  // namespace daylume
