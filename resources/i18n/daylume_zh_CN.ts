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
    <message>
        <source>status_no_picture</source>
        <translation>尚未设置壁纸</translation>
    </message>
    <message>
        <source>status_untitled</source>
        <translation>今日图片</translation>
    </message>
    <message>
        <source>status_set_at</source>
        <translation>设置于 %1</translation>
    </message>
    <message>
        <source>status_checking</source>
        <translation>正在查找今日图片…</translation>
    </message>
    <message>
        <source>status_lookup_failed</source>
        <translation>%1 未找到图片：%2</translation>
    </message>
    <message>
        <source>status_download_failed</source>
        <translation>%1 下载失败：%2</translation>
    </message>
    <message>
        <source>status_desktop_failed</source>
        <translation>%1 无法设置桌面：%2</translation>
    </message>
    <message>
        <source>cause_no_answer</source>
        <translation>5 秒内无应答</translation>
    </message>
    <message>
        <source>cause_no_picture</source>
        <translation>服务的应答中没有图片</translation>
    </message>
    <message>
        <source>cause_not_trusted</source>
        <translation>服务的证书不受信任（系统时间是否正确？）</translation>
    </message>
    <message>
        <source>cause_no_network</source>
        <translation>没有网络</translation>
    </message>
    <message>
        <source>button_open_folder</source>
        <translation>打开图片文件夹</translation>
    </message>
    <message>
        <source>notification_new_picture</source>
        <translation>新的桌面壁纸</translation>
    </message>
    <message>
        <source>notification_desktop_failed</source>
        <translation>Daylume 无法设置桌面壁纸</translation>
    </message>
</context>
</TS>
