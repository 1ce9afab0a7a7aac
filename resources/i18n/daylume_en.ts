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
</context>
</TS>
