#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/desktop.h"
#include "platform/error.h"
#include "platform/url.h"

namespace daylume {

// What the accepted answer says about its picture, where it says it as text.
struct PictureFacts {
    std::optional<std::string> title;
    std::optional<std::string> copyright;  // who took it, and where
    std::optional<std::string> copyrightLink;
};

// A lookup's find: the image address, the same picture's Ultra HD address where the answer gives
// one, and the facts of the answer.
struct FoundImage {
    Url url;
    PictureFacts facts;
    std::optional<Url> ultraHD;
    std::string market;      // whose answer it is
    bool factsFinal = true;  // else the market in the user's language may still say it better
};

// Why a lookup found nothing: the cause most markets' requests failed for (no answer at all when
// none failed outright), with its detail.
struct LookupFailure {
    Cause cause = Cause::NoAnswer;
    std::string detail;
    bool operator==(const LookupFailure&) const = default;
};

// What a lookup hands to its caller: the first usable find, or nothing and why. Called at most
// twice per lookup (nothing at the deadline, then a late find); `why` counts only without a find.
using LookupCompletion =
    std::function<void(std::optional<FoundImage> found, const LookupFailure& why)>;
// Once after a find whose facts were not final: what the market in the user's language found
// (nothing when it failed or did not answer by the deadline).
using UserFactsCompletion =
    std::function<void(const FoundImage& delivered, std::optional<FoundImage> local)>;

// How a download and its install ended, for the main thread.
struct InstallOutcome {
    std::optional<std::filesystem::path> picture;  // the stored copy, new or kept already,
                                                   // also when a later step failed
    PixelSize size;                                // the picture's, once it was checked
    bool newCopy = false;                          // it was stored by this install
    bool replaced = false;                 // in place of a copy of the same picture at another size
    bool onDesktop = false;                // and it is the desktop picture now
    std::optional<Error> error;            // what failed, if anything did
    bool inDownload = false;               // the error came before the picture did
    std::optional<Error> lockScreenError;  // the desktop was set, the lock screen not
};

// What an install does besides the desktop picture, and what it knows of the picture.
struct InstallChoices {
    bool lockScreen = false;
    std::string pictureName;           // the same in every size and market: "OHR.SnowyOwl"
    std::optional<PixelSize> checked;  // the picture was checked already, and has this size
};

}  // namespace daylume
