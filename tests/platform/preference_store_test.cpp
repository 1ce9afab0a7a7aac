// The choices in their INI file, starting at login by the XDG autostart rules, and the copy that is
// written whole or not at all: on real files in a temporary folder.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <fstream>

#include "platform/error.h"
#include "platform/linux/dialogs.h"
#include "platform/linux/preference_store.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

struct Folders {
    TempDir temp;
    fs::path user = temp.path() / "config/autostart";
    fs::path system = temp.path() / "etc/xdg/autostart";
    fs::path userEntry = user / Autostart::kEntryName;
    fs::path systemEntry = system / Autostart::kEntryName;
    Autostart autostart{user, {temp.path() / "none", system}, temp.path() / "my bin/daylume"};
};

TEST(AutostartTest, TheUsersEntryTurnsTheSystemsOffAndIsGoneWhenItAddsNothing) {
    Folders f;
    EXPECT_FALSE(f.autostart.enabled());
    // No system-wide entry (a ~/.local install): the user's own starts this program.
    f.autostart.setEnabled(true);
    EXPECT_TRUE(f.autostart.enabled());
    const std::string own = readText(f.userEntry);
    EXPECT_NE(
        own.find("Exec=\"" + (f.temp.path() / "my bin/daylume").string() + "\" --autostart\n"),
        std::string::npos)
        << own;
    EXPECT_EQ(own.find("Hidden"), std::string::npos);
    QProcess validate;
    validate.start("desktop-file-validate", {QString::fromStdString(f.userEntry.string())});
    ASSERT_TRUE(validate.waitForFinished(10'000));
    EXPECT_EQ(validate.readAll().toStdString(), "");
    f.autostart.setEnabled(false);
    EXPECT_FALSE(fs::exists(f.userEntry));

    // Installed system-wide, off for one user is a hidden entry of the user's; on again removes it.
    write(f.systemEntry, "[Desktop Entry]\nType=Application\nName=Daylume\nExec=daylume\n");
    EXPECT_TRUE(f.autostart.enabled());
    f.autostart.setEnabled(false);
    EXPECT_FALSE(f.autostart.enabled());
    EXPECT_NE(readText(f.userEntry).find("Hidden=true\n"), std::string::npos);
    f.autostart.setEnabled(true);
    EXPECT_FALSE(fs::exists(f.userEntry));
    EXPECT_TRUE(f.autostart.enabled());

    // GNOME's own switch and an unreadable entry count as off.
    write(f.userEntry, "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(f.autostart.enabled());
    write(f.userEntry, "not a desktop entry");
    EXPECT_FALSE(f.autostart.enabled());

    // A folder that cannot be written is a failure, not a silent no.
    fs::remove(f.systemEntry);
    fs::remove_all(f.user);
    write(f.user, "a file where the folder should be");
    EXPECT_THROW(f.autostart.setEnabled(true), Failure);
}

// The session's own folders: the user's in $XDG_CONFIG_HOME (else ~/.config), the system's in
// $XDG_CONFIG_DIRS; relative paths are no folders.
TEST(AutostartTest, ThisSessionsFoldersComeFromTheBaseDirectoryVariables) {
    Folders f;
    const fs::path root = f.temp.path();
    write(root / "etc/autostart" / Autostart::kEntryName, "[Desktop Entry]\nExec=daylume\n");
    const std::string home = std::getenv("HOME");
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_DIRS", ("etc:" + (root / "etc").string()).c_str(), 1);
    for (const auto& [variable, folder] :
         {std::pair{std::string("config"), root / ".config"}, {root / "mine", root / "mine"}}) {
        setenv("XDG_CONFIG_HOME", variable.c_str(), 1);
        const Autostart session = Autostart::forThisSession();
        EXPECT_TRUE(session.enabled());
        session.setEnabled(false);  // the user's hidden entry
        EXPECT_TRUE(fs::exists(folder / "autostart" / Autostart::kEntryName)) << variable;
    }
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_DIRS");
    unsetenv("XDG_CONFIG_HOME");
}

TEST(PreferenceStoreTest, ChoicesAreKeptAndAnUnknownValueIsIgnoredWithOneWarning) {
    Folders f;
    const QString file =
        QString::fromStdString((f.temp.path() / "config/Daylume/Daylume.conf").string());
    QtPreferenceStore store(file, f.autostart);
    Preferences defaults = store.load();  // no file yet
    EXPECT_FALSE(defaults.ultraHD || defaults.lockScreen || defaults.startAtLogin);
    EXPECT_TRUE(defaults.notify && defaults.region.empty());

    store.save(Preference::UltraHD, true);
    store.save(Preference::StartAtLogin, true);
    store.save(Preference::Notify, false);
    store.saveRegion("ja-JP");
    EXPECT_FALSE(store.load().notify);
    EXPECT_EQ(store.load().region, "ja-JP");
    store.saveRegion("");
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Region").toString(), "Any");
    EXPECT_TRUE(store.load().ultraHD);
    EXPECT_FALSE(store.load().lockScreen);
    EXPECT_TRUE(store.load().startAtLogin);
    EXPECT_TRUE(f.autostart.enabled());
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("UltraHD").toString(), "true");
    // Inside Flatpak the host's autostart folders are out of reach: nothing is read from them.
    setenv("FLATPAK_ID", "io.github.daylume.Daylume", 1);
    EXPECT_FALSE(store.keepsStartAtLogin() || store.load().startAtLogin);
    unsetenv("FLATPAK_ID");

    struct Row {
        std::string lines, warning, region;
    };
    for (const auto& [lines, warning, region] : std::vector<Row>{
             {"UltraHD=maybe\nRegion=EN-gb",
              "UltraHD=maybe is neither true nor false; it is ignored", "en-GB"},
             {"Region=xx-XX", "Region=xx-XX is no region Daylume knows; any region is used", ""}}) {
        write(file.toStdString(), "[General]\nLockScreen=TRUE\n" + lines + "\n");
        testing::internal::CaptureStderr();
        const Preferences read = store.load();
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "daylume: " + file.toStdString() + ": " + warning + "\n");
        EXPECT_FALSE(read.ultraHD);
        EXPECT_TRUE(read.lockScreen);
        EXPECT_EQ(read.region, region);
    }

    // A file larger than 1 MiB, no text or a folder is not read: the defaults, with one warning
    // that says why; nor is it written over.
    const std::string path = file.toStdString();
    for (const auto& [text, why] : std::vector<std::pair<std::string, std::string>>{
             {std::string(2 << 20, '#'), "it is larger than 1 MiB"},
             {"[General]\nUltraHD=true\n\xff\xfe", "it is not a text file"},
             {"", "it is a folder"}}) {
        fs::remove_all(path);
        if (text.empty())
            fs::create_directories(path);
        else
            write(path, text);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(store.load().ultraHD);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "daylume: " + path + ": " + why + "; the defaults are used\n");
        EXPECT_THROW(store.save(Preference::LockScreen, true), Failure);
    }
}

TEST(SaveCopyTest, TheCopyIsWholeOrNotThere) {
    TempDir temp;
    const fs::path from = temp.path() / "picture.jpg";
    write(from, std::string(300'000, 'x'));
    const QString to = QString::fromStdString((temp.path() / "Owl.jpg").string());
    write(to.toStdString(), "an older copy");
    EXPECT_EQ(writeWholeCopy(QString::fromStdString(from.string()), to), std::nullopt);
    EXPECT_EQ(readText(to.toStdString()), readText(from));

    // Unreadable picture or a folder that is gone: an error, and the old file stays.
    EXPECT_NE(writeWholeCopy(QString::fromStdString((temp.path() / "none").string()), to),
              std::nullopt);
    EXPECT_EQ(readText(to.toStdString()), readText(from));
    EXPECT_NE(writeWholeCopy(QString::fromStdString(from.string()),
                             QString::fromStdString((temp.path() / "gone/x.jpg").string())),
              std::nullopt);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.path())) ++files;
    EXPECT_EQ(files, 2);  // no temporary file left behind
}

}  // namespace
}  // namespace daylume::test
