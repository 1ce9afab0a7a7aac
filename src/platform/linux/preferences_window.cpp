#include "platform/linux/preferences_window.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "platform/linux/dialogs.h"
#include "platform/markets.h"

namespace daylume {

PreferencesPanel::PreferencesPanel(const PreferenceActions& actions) {
    auto* layout = new QVBoxLayout(this);
    // Each note below its choice, indented like the choice's text.
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                       style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    auto addNote = [&](QLabel& note) {
        note.setWordWrap(true);
        note.setFixedWidth(kContentWidth - 2 * indent);
        QPalette palette = note.palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
        note.setPalette(palette);
        auto* row = new QHBoxLayout;
        row->addSpacing(indent);
        row->addWidget(&note);
        layout->addLayout(row);
    };
    auto* regionRow = new QHBoxLayout;
    regionRow->addWidget(&regionLabel_);
    regionRow->addWidget(&region_, 1);
    regionLabel_.setBuddy(&region_);
    layout->addLayout(regionRow);
    layout->addWidget(&ultraHD_);
    addNote(ultraHDNote_);
    layout->addWidget(&lockScreen_);
    addNote(lockScreenNote_);
    layout->addWidget(&startAtLogin_);
    addNote(startAtLoginNote_);
    layout->addWidget(&notify_);
    // Return in the dialog closes it; it must not open a file dialog instead.
    saveCopy_.setAutoDefault(false);
    layout->addWidget(&saveCopy_, 0, Qt::AlignLeft);
    // clicked, not toggled: only the user's own changes are choices.
    for (const auto& choice : {std::pair{&ultraHD_, Preference::UltraHD},
                               std::pair{&lockScreen_, Preference::LockScreen},
                               std::pair{&startAtLogin_, Preference::StartAtLogin},
                               std::pair{&notify_, Preference::Notify}})
        QObject::connect(choice.first, &QCheckBox::clicked, this,
                         [&actions, preference = choice.second](bool on) {
                             if (actions.changed) actions.changed(preference, on);
                         });
    QObject::connect(&region_, &QComboBox::activated, this, [this, &actions](int index) {
        if (actions.regionChosen)
            actions.regionChosen(region_.itemData(index).toString().toStdString());
    });
    QObject::connect(&saveCopy_, &QPushButton::clicked, this, [&actions] {
        if (actions.saveCopy) actions.saveCopy();
    });
}

void PreferencesPanel::show(const PreferencesStatus& status) {
    status_ = status;
    // Unseen, the panel keeps the status for later, as the window does.
    if (isVisible()) fill();
}

void PreferencesPanel::showEvent(QShowEvent* event) {
    fill();
    QGroupBox::showEvent(event);
}

void PreferencesPanel::fill() {
    const PreferencesStatus& status = status_;
    // Named here, not when made: the translations are loaded after the widgets are.
    setTitle(localized("preferences_title"));
    ultraHD_.setText(localized("preferences_ultra_hd"));
    lockScreen_.setText(localized("preferences_lock_screen"));
    startAtLogin_.setText(localized("preferences_start_at_login"));
    notify_.setText(localized("preferences_notify"));
    regionLabel_.setText(localized("preferences_region"));
    if (region_.count() == 0) {
        // Any region first, then the markets by their names in the user's language.
        std::vector<std::pair<QString, QString>> regions;
        regions.reserve(marketCodes.size());
        for (const std::string_view market : marketCodes)
            regions.emplace_back(localized(("region_" + std::string(market)).c_str()),
                                 QString::fromLatin1(market.data(), qsizetype(market.size())));
        std::ranges::sort(regions, [](const auto& a, const auto& b) {
            return QString::localeAwareCompare(a.first, b.first) < 0;
        });
        region_.addItem(localized("region_any"), QString());
        for (const auto& [name, market] : regions) region_.addItem(name, market);
    }
    region_.setCurrentIndex(std::max(0, region_.findData(qString(status.chosen.region))));
    saveCopy_.setText(localized("button_save_copy"));
    ultraHD_.setChecked(status.chosen.ultraHD);
    lockScreen_.setChecked(status.chosen.lockScreen);
    lockScreen_.setEnabled(status.lockScreenNote.empty());
    startAtLogin_.setChecked(status.chosen.startAtLogin);
    startAtLogin_.setEnabled(status.startAtLoginNote.empty());
    notify_.setChecked(status.chosen.notify);
    ultraHDNote_.setText(qString(status.ultraHDNote));
    lockScreenNote_.setText(qString(status.lockScreenNote));
    startAtLoginNote_.setText(qString(status.startAtLoginNote));
    for (QLabel* note : {&ultraHDNote_, &lockScreenNote_, &startAtLoginNote_})
        note->setVisible(!note->text().isEmpty());
    saveCopy_.setEnabled(status.canSaveCopy);
}

PreferencesDialog::PreferencesDialog(const PreferenceActions& actions) : panel_(actions) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&panel_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PreferencesDialog::open() {
    setWindowTitle(localized("preferences_window_title"));
    if (!isVisible()) placeInSight(*this);
    show();
    raise();
    activateWindow();
}

}  // namespace daylume
