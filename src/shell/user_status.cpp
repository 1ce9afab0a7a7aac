#include "shell/user_status.h"

#include <utility>

#include "pipeline/image_lookup.h"
#include "shell/text_format.h"

namespace daylume {
namespace {

// The string-table keys of the causes, by cause.
constexpr std::pair<Cause, std::string_view> kCauseKeys[] = {
    {Cause::Unknown, "cause_unknown"},
    {Cause::NoNetwork, "cause_no_network"},
    {Cause::NoAnswer, "cause_no_answer"},
    {Cause::ConnectionClosed, "cause_connection_closed"},
    {Cause::TimedOut, "cause_timed_out"},
    {Cause::NotTrusted, "cause_not_trusted"},
    {Cause::HttpStatus, "cause_http_status"},
    {Cause::RedirectedAway, "cause_redirected_away"},
    {Cause::AnswerTooLarge, "cause_answer_too_large"},
    {Cause::NoPicture, "cause_no_picture"},
    {Cause::NotAPicture, "cause_not_a_picture"},
    {Cause::PictureIncomplete, "cause_picture_incomplete"},
    {Cause::PictureTooLarge, "cause_picture_too_large"},
    {Cause::FileError, "cause_file_error"},
    {Cause::FolderReadOnly, "cause_folder_read_only"},
    {Cause::DiskFull, "cause_disk_full"},
    {Cause::NoDesktop, "cause_no_desktop"},
    {Cause::DesktopToolMissing, "cause_desktop_tool_missing"},
    {Cause::DesktopToolFailed, "cause_desktop_tool_failed"},
    {Cause::NoScreen, "cause_no_screen"},
    {Cause::SettingsNotSaved, "cause_settings_not_saved"},
};
// Looked up by the cause's value: every cause has its row, in order.
constexpr bool inCauseOrder() {
    std::size_t row = 0;
    for (const auto& [cause, key] : kCauseKeys)
        if (std::size_t(cause) != row++ || key.empty()) return false;
    return row == kCauseCount;
}
static_assert(inCauseOrder());

std::string_view failureKey(UserStatus::Step step) {
    switch (step) {
        case UserStatus::Step::Lookup:
            return "status_lookup_failed";
        case UserStatus::Step::Download:
            return "status_download_failed";
        case UserStatus::Step::Store:
            return "status_store_failed";
        case UserStatus::Step::Desktop:
            return "status_desktop_failed";
        case UserStatus::Step::LockScreen:
            break;
    }
    return "status_lock_screen_failed";
}

// Where an install failed, by who reported it: the service's answer and the picture are the
// download's, the files the store's.
UserStatus::Step failedStep(const InstallOutcome& outcome) {
    if (outcome.inDownload) return UserStatus::Step::Download;
    switch (outcome.error->domain) {
        case ErrorDomain::Network:
        case ErrorDomain::Picture:
            return UserStatus::Step::Download;
        case ErrorDomain::Posix:
        case ErrorDomain::Settings:
            return UserStatus::Step::Store;
        case ErrorDomain::Desktop:
            break;
    }
    return UserStatus::Step::Desktop;
}

}  // namespace

std::string UserStatus::causeText(Cause cause, const std::string& detail) const {
    // A certificate's problem is one of a few words, each with its own text.
    const std::string parameter =
        cause == Cause::NotTrusted ? localized("certificate_" + detail) : detail;
    return filledIn(localized(kCauseKeys[std::size_t(cause)].second), "%1", parameter);
}

void UserStatus::lookupEnded(bool first, const std::optional<LookupFailure>& why) {
    if (first) --lookupsRunning_;
    const Date now = clock_.currentDate();
    if (!why) {
        if (problem_ && problem_->step == Step::Lookup) problem_.reset();
    } else {
        problem_ = Problem{Step::Lookup, causeText(why->cause, why->detail), now};
    }
}

void UserStatus::installEnded(const FoundImage& found, const InstallOutcome& outcome, bool notify) {
    const Date now = clock_.currentDate();
    // A copy in place of the same picture at another size is no new picture.
    if (outcome.newCopy && !outcome.replaced && notify) unannounced_ = outcome.picture;
    if (outcome.error) {
        const Error& error = *outcome.error;
        problem_ = Problem{failedStep(outcome), causeText(error.cause, error.detail), now};
        // A desktop Daylume cannot set needs the user, who rarely reads the log: say it once
        // for each cause.
        if (error.domain == ErrorDomain::Desktop &&
            !toldDesktopFailures_.test(std::size_t(error.cause))) {
            toldDesktopFailures_.set(std::size_t(error.cause));
            application_.postNotification(
                {localized("notification_desktop_failed"), problem_->cause, std::nullopt});
        }
        return;
    }
    if (!outcome.onDesktop) {
        problem_ = Problem{Step::Desktop, causeText(Cause::NoScreen, {}), now};
        return;
    }
    problem_.reset();
    toldDesktopFailures_.reset();
    if (outcome.lockScreenError) lockScreenFailed(*outcome.lockScreenError);
    shownPicture_ = ShownPicture{found, *outcome.picture, outcome.size, now};
    announcementWaits_ = unannounced_ == outcome.picture && !found.factsFinal;
    if (unannounced_ == outcome.picture && found.factsFinal) announce();
}

void UserStatus::retitle(const PictureFacts& facts) {
    if (!shownPicture_) return;
    shownPicture_->found.facts = facts;
    if (std::exchange(announcementWaits_, false)) announce();
}

void UserStatus::announce() {
    unannounced_.reset();
    const PictureFacts& facts = shownPicture_->found.facts;
    application_.postNotification({facts.title.value_or(localized("notification_new_picture")),
                                   facts.copyright.value_or(""), shownPicture_->file});
}

void UserStatus::lockScreenFailed(const Error& error) {
    problem_ =
        Problem{Step::LockScreen, causeText(error.cause, error.detail), clock_.currentDate()};
}

void UserStatus::show(StatusItem* statusItem, bool installing) const {
    PictureStatus status;
    if (shownPicture_) {
        const PictureFacts& facts = shownPicture_->found.facts;
        status.title = facts.title.value_or(localized("status_untitled"));
        status.credit = facts.copyright.value_or("");
        status.setAt =
            filledIn(localized("status_set_at"), "%1", bundle_.localizedTime(shownPicture_->setAt));
        status.picture = shownPicture_->file;
        status.learnMore = learnMoreLink(facts, serviceOrigin_).has_value();
    } else {
        status.title = localized("status_no_picture");
    }
    if (lookupsRunning_ > 0 || installing) {
        status.activity = localized("status_checking");
    } else if (problem_) {
        status.activity = filledIn(filledIn(localized(failureKey(problem_->step)), "%1",
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
