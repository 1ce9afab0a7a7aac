<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>menu_about</source>
        <translation>About Daylume</translation>
    </message>
    <message>
        <source>menu_refresh</source>
        <translation>Refresh Wallpaper</translation>
    </message>
    <message>
        <source>menu_source</source>
        <translation>Image Source</translation>
    </message>
    <message>
        <source>menu_toggle_dock</source>
        <translation>Show or Hide Task Bar Entry</translation>
    </message>
    <message>
        <source>menu_quit</source>
        <translation>Quit Daylume</translation>
    </message>
    <message>
        <source>alert_title</source>
        <translation>Daylume</translation>
    </message>
    <message>
        <source>alert_about</source>
        <translation>Daylume keeps your desktop picture set to the Bing image of the day.</translation>
    </message>
    <message>
        <source>alert_no_source</source>
        <translation>No Image Yet</translation>
    </message>
    <message>
        <source>alert_no_source_detail</source>
        <translation>Daylume has not fetched a picture yet. Try again after a refresh.</translation>
    </message>
    <message>
        <source>alert_cannot_open</source>
        <translation>Cannot Open</translation>
    </message>
    <message>
        <source>alert_cannot_open_detail</source>
        <translation>No program could open %1: xdg-open (from xdg-utils) is missing or did not start.</translation>
    </message>
    <message>
        <source>alert_image_link</source>
        <translation>Current Image Address</translation>
    </message>
    <message>
        <source>alert_dock_hidden</source>
        <translation>Daylume no longer shows in the task bar.</translation>
    </message>
    <message>
        <source>alert_dock_shown</source>
        <translation>Daylume now shows in the task bar.</translation>
    </message>
    <message>
        <source>button_open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>button_close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>status_no_picture</source>
        <translation>No picture set yet</translation>
    </message>
    <message>
        <source>status_untitled</source>
        <translation>Today's picture</translation>
    </message>
    <message>
        <source>status_set_at</source>
        <translation>Set at %1</translation>
    </message>
    <message>
        <source>status_checking</source>
        <translation>Looking for today's picture…</translation>
    </message>
    <message>
        <source>status_lookup_failed</source>
        <translation>No picture found at %1: %2</translation>
    </message>
    <message>
        <source>status_download_failed</source>
        <translation>The download failed at %1: %2</translation>
    </message>
    <message>
        <source>status_desktop_failed</source>
        <translation>The desktop could not be set at %1: %2</translation>
    </message>
    <message>
        <source>cause_no_answer</source>
        <translation>the service did not answer</translation>
    </message>
    <message>
        <source>cause_no_picture</source>
        <translation>the service's answers held no picture</translation>
    </message>
    <message>
        <source>cause_not_trusted</source>
        <translation>the service&apos;s certificate is not trusted: %1</translation>
    </message>
    <message>
        <source>cause_no_network</source>
        <translation>no network</translation>
    </message>
    <message>
        <source>button_open_folder</source>
        <translation>Open Pictures Folder</translation>
    </message>
    <message>
        <source>notification_new_picture</source>
        <translation>New desktop picture</translation>
    </message>
    <message>
        <source>notification_desktop_failed</source>
        <translation>Daylume cannot set the desktop picture</translation>
    </message>
    <message>
        <source>cause_unknown</source>
        <translation>an unexpected error (see the log)</translation>
    </message>
    <message>
        <source>cause_connection_closed</source>
        <translation>the connection closed before the whole answer came</translation>
    </message>
    <message>
        <source>cause_timed_out</source>
        <translation>the network was too slow and timed out</translation>
    </message>
    <message>
        <source>certificate_expired</source>
        <translation>it has expired (is the clock right?)</translation>
    </message>
    <message>
        <source>certificate_not_yet_valid</source>
        <translation>it is not valid yet (is the clock right?)</translation>
    </message>
    <message>
        <source>certificate_self_signed</source>
        <translation>it is self-signed (is a proxy in the way?)</translation>
    </message>
    <message>
        <source>certificate_unknown_authority</source>
        <translation>an unknown authority issued it (is a proxy in the way?)</translation>
    </message>
    <message>
        <source>certificate_revoked</source>
        <translation>it has been revoked</translation>
    </message>
    <message>
        <source>certificate_invalid</source>
        <translation>it is not valid</translation>
    </message>
    <message>
        <source>cause_http_status</source>
        <translation>the service answered HTTP %1</translation>
    </message>
    <message>
        <source>cause_redirected_away</source>
        <translation>the service sent Daylume elsewhere</translation>
    </message>
    <message>
        <source>cause_answer_too_large</source>
        <translation>the answer was too large</translation>
    </message>
    <message>
        <source>cause_not_a_picture</source>
        <translation>what arrived is not a picture</translation>
    </message>
    <message>
        <source>cause_picture_incomplete</source>
        <translation>the picture arrived incomplete</translation>
    </message>
    <message>
        <source>cause_picture_too_large</source>
        <translation>the picture is too large to show</translation>
    </message>
    <message>
        <source>cause_file_error</source>
        <translation>a file could not be written (see the log)</translation>
    </message>
    <message>
        <source>cause_no_desktop</source>
        <translation>Daylume does not know how to set the picture of this desktop</translation>
    </message>
    <message>
        <source>cause_desktop_tool_missing</source>
        <translation>%1 is not installed</translation>
    </message>
    <message>
        <source>cause_desktop_tool_failed</source>
        <translation>%1 failed (see the log)</translation>
    </message>
    <message>
        <source>cause_no_screen</source>
        <translation>no screen is attached</translation>
    </message>
    <message>
        <source>cause_settings_not_saved</source>
        <translation>Daylume&apos;s settings could not be saved: %1</translation>
    </message>
    <message>
        <source>status_lock_screen_failed</source>
        <translation>The lock screen could not be set at %1: %2</translation>
    </message>
    <message>
        <source>preferences_title</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>preferences_window_title</source>
        <translation>Daylume Preferences</translation>
    </message>
    <message>
        <source>preferences_ultra_hd</source>
        <translation>Ultra HD pictures on large screens</translation>
    </message>
    <message>
        <source>preferences_lock_screen</source>
        <translation>Also on the lock screen</translation>
    </message>
    <message>
        <source>preferences_start_at_login</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>preferences_screen_larger</source>
        <translation>Your screen (%1) is larger than this picture (%2).</translation>
    </message>
    <message>
        <source>preferences_lock_screen_shows_desktop</source>
        <translation>This desktop's lock screen shows the desktop picture.</translation>
    </message>
    <message>
        <source>preferences_lock_screen_unknown</source>
        <translation>Daylume cannot set the lock-screen picture of this desktop.</translation>
    </message>
    <message>
        <source>button_save_copy</source>
        <translation>Save a Copy…</translation>
    </message>
    <message>
        <source>save_copy_title</source>
        <translation>Save a Copy of the Picture</translation>
    </message>
    <message>
        <source>save_copy_filter</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>alert_copy_failed</source>
        <translation>The copy could not be saved</translation>
    </message>
    <message>
        <source>alert_preferences_not_saved</source>
        <translation>The preference could not be saved</translation>
    </message>
    <message>
        <source>status_store_failed</source>
        <translation>The picture could not be saved at %1: %2</translation>
    </message>
    <message>
        <source>cause_folder_read_only</source>
        <translation>the picture folder is read-only</translation>
    </message>
    <message>
        <source>cause_disk_full</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>alert_no_program_detail</source>
        <translation>No program on this desktop opens %1. Select the address to copy it.</translation>
    </message>
    <message>
        <source>menu_preferences</source>
        <translation>Preferences…</translation>
    </message>
    <message>
        <source>preferences_start_at_login_sandboxed</source>
        <translation>Inside Flatpak, Daylume cannot add itself to the programs started at login: add it in your desktop&apos;s startup settings.</translation>
    </message>
    <message>
        <source>preferences_notify</source>
        <translation>Announce new pictures</translation>
    </message>
    <message>
        <source>preferences_region</source>
        <translation>Region:</translation>
    </message>
    <message>
        <source>region_any</source>
        <translation>Any (the fastest to answer)</translation>
    </message>
    <message>
        <source>region_zh-CN</source>
        <translation>China</translation>
    </message>
    <message>
        <source>region_ja-JP</source>
        <translation>Japan</translation>
    </message>
    <message>
        <source>region_en-US</source>
        <translation>United States</translation>
    </message>
    <message>
        <source>region_en-GB</source>
        <translation>United Kingdom</translation>
    </message>
    <message>
        <source>region_de-DE</source>
        <translation>Germany</translation>
    </message>
    <message>
        <source>region_fr-FR</source>
        <translation>France</translation>
    </message>
    <message>
        <source>region_en-AU</source>
        <translation>Australia</translation>
    </message>
    <message>
        <source>region_en-CA</source>
        <translation>Canada</translation>
    </message>
    <message>
        <source>button_set_as_desktop</source>
        <translation>Set as Desktop Picture</translation>
    </message>
    <message>
        <source>button_learn_more</source>
        <translation>Learn More</translation>
    </message>
</context>
</TS>
