<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Localizable</name>
    <message>
        <source>menu_about</source>
        <translation>关于 Daylume</translation>
    </message>
    <message>
        <source>menu_refresh</source>
        <translation>立即刷新壁纸</translation>
    </message>
    <message>
        <source>menu_source</source>
        <translation>图片来源</translation>
    </message>
    <message>
        <source>menu_toggle_dock</source>
        <translation>显示或隐藏任务栏图标</translation>
    </message>
    <message>
        <source>menu_quit</source>
        <translation>退出 Daylume</translation>
    </message>
    <message>
        <source>alert_title</source>
        <translation>Daylume</translation>
    </message>
    <message>
        <source>alert_about</source>
        <translation>Daylume 让你的桌面壁纸始终是必应每日一图。</translation>
    </message>
    <message>
        <source>alert_no_source</source>
        <translation>暂无图片</translation>
    </message>
    <message>
        <source>alert_no_source_detail</source>
        <translation>Daylume 还没有获取到图片，请刷新后再试。</translation>
    </message>
    <message>
        <source>alert_image_link</source>
        <translation>当前图片地址</translation>
    </message>
    <message>
        <source>alert_dock_hidden</source>
        <translation>Daylume 已不在任务栏中显示。</translation>
    </message>
    <message>
        <source>alert_dock_shown</source>
        <translation>Daylume 已在任务栏中显示。</translation>
    </message>
    <message>
        <source>button_open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>button_close</source>
        <translation>关闭</translation>
    </message>
</context>
</TS>
