#include "shell/app_delegate.h"
#include "shell/text_format.h"

namespace daylume {

void AppDelegate::showAbout() {
    const std::string version =
        platform_.bundle.stringValue("CFBundleShortVersionString").value_or("1.0");
    const std::string build = platform_.bundle.stringValue("CFBundleVersion").value_or("1");
    platform_.application.runModal({
        .messageText = localized("alert_title"),
        .informativeText = formatWithoutArguments(localized("alert_about")) + "\n\n版本：" +
                           version + "（Build " + build + "）",
        .informational = true,
    });
}

void AppDelegate::showImageSource() {
    // Before any lookup of this run, the picture remembered on the desktop.
    const auto& shown = status_.shownPicture();
    if (!currentImageURL && !shown) {
        platform_.application.runModal(
            {localized("alert_no_source"), localized("alert_no_source_detail")});
        return;
    }
    const FoundImage& find = currentImageURL ? currentFind_ : shown->found;
    const Url url = currentImageURL.value_or(find.url);
    // What the picture shows and who took it, above its address, when the answer said so.
    std::string about;
    for (const auto& fact : {find.facts.title, find.facts.copyright})
        if (fact && find.url == url) about += *fact + "\n";
    // The page about it, where the service has one.
    const std::optional<Url> link =
        find.url == url ? learnMoreLink(find.facts, lookup_.serviceOrigin()) : std::nullopt;
    std::vector<std::string> buttons = {localized("button_open"), localized("button_close")};
    if (link) buttons.insert(buttons.begin() + 1, localized("button_learn_more"));
    const int choice = platform_.application.runModal(
        {localized("alert_image_link"), (about.empty() ? "" : about + "\n") + url.absoluteString(),
         buttons});
    if (choice == kAlertFirstButtonReturn) platform_.application.openURL(url);
    if (link && choice == kAlertFirstButtonReturn + 1) platform_.application.openURL(*link);
}

void AppDelegate::toggleDockVisibility() {
    const bool wasShown = platform_.application.activationPolicy() == ActivationPolicy::Regular;
    platform_.application.setActivationPolicy(wasShown ? ActivationPolicy::Accessory
                                                       : ActivationPolicy::Regular);
    platform_.application.runModal(
        {localized("alert_title"), localized(wasShown ? "alert_dock_hidden" : "alert_dock_shown")});
}

}  // namespace daylume
