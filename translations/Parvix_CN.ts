<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Main</name>
    <message>
        <source>Vodav Evodo</source>
        <translation>Vodav Evodo</translation>
    </message>
</context>
<context>
    <name>Controller</name>
    <message>
        <source>Installing APK</source>
        <translation>正在安装 APK</translation>
    </message>
    <message>
        <source>APK installed</source>
        <translation>APK 已安装</translation>
    </message>
    <message>
        <source>APK installation failed</source>
        <translation>APK 安装失败</translation>
    </message>
    <message>
        <source>File uploaded</source>
        <translation>文件已上传</translation>
    </message>
    <message>
        <source>File upload failed</source>
        <translation>文件上传失败</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>未连接</translation>
    </message>
</context>
<context>
    <name>Autojs</name>
    <message>
        <source>Failed to connect to AutoJS server</source>
        <translation>无法连接到 AutoJS 服务</translation>
    </message>
    <message>
        <source>Failed to open AutoJS script file</source>
        <translation>无法打开 AutoJS 脚本文件</translation>
    </message>
    <message>
        <source>AutoJS script started</source>
        <translation>AutoJS 脚本已启动</translation>
    </message>
</context>
</TS>
