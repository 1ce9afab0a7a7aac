#include "shell/user_status.h"

#include <array>

#include "shell/text_format.h"

namespace daylume {
namespace {

// The string-table keys of the causes, in the order of Cause.
constexpr std::array<std::string_view, kCauseCount> kCauseKeys = {
    "cause_unknown",
    "cause_no_network",
    "cause_no_answer",
    "cause_connection_closed",
    "cause_timed_out",
    "cause_not_trusted",
    "cause_http_status",
    "cause_redirected_away",
    "cause_answer_too_large",
    "cause_no_picture",
    "cause_not_a_picture",
    "cause_picture_incomplete",
    "cause_picture_too_large",
    "cause_file_error",
    "cause_no_desktop",
    "cause_desktop_tool_missing",
    "cause_desktop_tool_failed",
    "cause_no_screen",
};
static_assert(kCauseKeys.back() == "cause_no_screen");

}  // namespace

std::string UserStatus::causeText(Cause cause, const std::string& detail) const {
    // A certificate's problem is one of a few words, each with its own text.
    const std::string parameter =
        cause == Cause::NotTrusted ? localized("certificate_" + detail) : detail;
    return filledIn(localized(kCauseKeys.at(std::size_t(cause))), "%1", parameter);
}

void UserStatus::lookupEnded(bool first, const std::optional<LookupFailure>& why) {
    if (first) --lookupsRunning_;
    const Date now = clock_.currentDate();
    if (!why) {
        if (problem_ && problem_->step == Problem::Step::Lookup) problem_.reset();
    } else {
        problem_ = Problem{Problem::Step::Lookup, causeText(why->cause, why->detail), now};
    }
}

void UserStatus::installEnded(const PictureFacts& facts, const InstallOutcome& outcome) {
    const Date now = clock_.currentDate();
    if (outcome.newCopy) unannounced_ = outcome.picture;
    if (outcome.error) {
        const Error& error = *outcome.error;
        problem_ = Problem{outcome.inDownload ? Problem::Step::Download : Problem::Step::Desktop,
                           causeText(error.cause, error.detail), now};
        // A desktop Daylume cannot set needs the user, who rarely reads the log: say it once
        // for each cause.
        if (error.domain == kDesktopErrorDomain &&
            !toldDesktopFailures_.test(std::size_t(error.cause))) {
            toldDesktopFailures_.set(std::size_t(error.cause));
            application_.postNotification(
                {localized("notification_desktop_failed"), problem_->cause, std::nullopt});
        }
        return;
    }
    if (!outcome.onDesktop) {
        problem_ = Problem{Problem::Step::Desktop, causeText(Cause::NoScreen, {}), now};
        return;
    }
    problem_.reset();
    toldDesktopFailures_.reset();
    if (outcome.lockScreenError) lockScreenFailed(*outcome.lockScreenError);
    shownPicture_ = ShownPicture{facts, *outcome.picture, outcome.size, now};
    if (unannounced_ == outcome.picture) {
        unannounced_.reset();
        application_.postNotification({facts.title.value_or(localized("notification_new_picture")),
                                       facts.copyright.value_or(""), outcome.picture});
    }
}

void UserStatus::lockScreenFailed(const Error& error) {
    problem_ = Problem{Problem::Step::LockScreen, causeText(error.cause, error.detail),
                       clock_.currentDate()};
}

void UserStatus::show(StatusItem* statusItem, bool installing) const {
    PictureStatus status;
    if (shownPicture_) {
        status.title = shownPicture_->facts.title.value_or(localized("status_untitled"));
        status.credit = shownPicture_->facts.copyright.value_or("");
        status.setAt =
            filledIn(localized("status_set_at"), "%1", bundle_.localizedTime(shownPicture_->setAt));
        status.picture = shownPicture_->file;
    } else {
        status.title = localized("status_no_picture");
    }
    if (lookupsRunning_ > 0 || installing) {
        status.activity = localized("status_checking");
    } else if (problem_) {
        static constexpr std::array<std::string_view, 4> failures = {
            "status_lookup_failed", "status_download_failed", "status_desktop_failed",
            "status_lock_screen_failed"};
        status.activity = filledIn(filledIn(localized(failures[std::size_t(problem_->step)]), "%1",
                                            bundle_.localizedTime(problem_->at)),
                                   "%2", problem_->cause);
    }
    if (statusItem) {
        std::string tip = "Daylume";
        for (const std::string* line :
             {&status.title, &status.credit, &status.setAt, &status.activity})
            if (!line->empty()) tip += "\n" + *line;
        statusItem->setToolTip(tip);
    }
    application_.showStatus(status);
}

}  // namespace daylume
