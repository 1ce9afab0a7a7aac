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
    const int choice =
        platform_.application.runModal({localized("alert_image_link"),
                                        (about.empty() ? "" : about + "\n") + url.absoluteString(),
                                        {localized("button_open"), localized("button_close")}});
    if (choice == kAlertFirstButtonReturn) platform_.application.openURL(url);
}

void AppDelegate::toggleDockVisibility() {
    const bool wasShown = platform_.application.activationPolicy() == ActivationPolicy::Regular;
    platform_.application.setActivationPolicy(wasShown ? ActivationPolicy::Accessory
                                                       : ActivationPolicy::Regular);
    platform_.application.runModal(
        {localized("alert_title"), localized(wasShown ? "alert_dock_hidden" : "alert_dock_shown")});
}

}  // namespace daylume
