#pragma once

#include <optional>
#include <string_view>

#include "pipeline/picture_types.h"
#include "platform/markets.h"
#include "platform/platform.h"

namespace daylume {

inline constexpr Seconds lookupTimeout{5.0};
inline constexpr std::string_view kArchivePath = "/HPImageArchive.aspx?format=js&idx=0&n=1&mkt=";

// Asks the image service for the picture of the day, every market at once, and hands over the
// first usable answer; what is done with it is the caller's.
class ImageLookup {
public:
    // `serviceOrigin` is the image service, scheme and host.
    ImageLookup(Platform& platform, Url serviceOrigin)
        : platform_(platform), serviceOrigin_(std::move(serviceOrigin)) {}

    // `completion` gets the first usable find (on the HTTP client's callback thread) or, if none
    // came within lookupTimeout, nothing (on the main thread); a late find may still follow that.
    // When another market's find came first, the one in the user's language is awaited until the
    // deadline for titles the user can read: `userFacts` then gets what it found, on whichever
    // thread it ended.
    // With a `region` (a market code), its answer is the one delivered when it is usable. Where
    // it failed, the first usable answer of another market is delivered at once; where it is
    // still silent at the deadline, the first that came in is, then.
    void fetch(LookupCompletion completion, UserFactsCompletion userFacts,
               std::string_view region = {}) const;

    const Url& serviceOrigin() const { return serviceOrigin_; }

private:
    Platform& platform_;
    const Url serviceOrigin_;
};

// The market whose titles the user can read, from a locale such as "en_GB.UTF-8".
std::string_view marketForLocale(std::string_view locale);
// The picture's name in its address, the same in every market: "OHR.SnowyOwl" for
// "/th?id=OHR.SnowyOwl_EN-US1234567890_1920x1080.jpg"; empty where there is none.
std::string pictureName(std::string_view address);
// Whether two addresses name the same picture; an address without a name is like no other.
bool samePicture(std::string_view a, std::string_view b);

// The picture address in one market's answer, made absolute on the service's origin, with the
// answer's facts; nothing when the answer is not of the expected shape or the address would
// leave the service's origin.
std::optional<FoundImage> imageFromAnswer(std::string_view body, const Url& serviceOrigin);
// The page about the picture that its answer names, where that is a page of the service's own
// origin (https, its host).
std::optional<Url> learnMoreLink(const PictureFacts& facts, const Url& serviceOrigin);

}  // namespace daylume
