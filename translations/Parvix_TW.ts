<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
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
        <translation>正在安裝 APK</translation>
    </message>
    <message>
        <source>APK installed</source>
        <translation>APK 已安裝</translation>
    </message>
    <message>
        <source>APK installation failed</source>
        <translation>APK 安裝失敗</translation>
    </message>
    <message>
        <source>File uploaded</source>
        <translation>檔案已上傳</translation>
    </message>
    <message>
        <source>File upload failed</source>
        <translation>檔案上傳失敗</translation>
    </message>
    <message>
        <source>Not Connected</source>
        <translation>未連線</translation>
    </message>
</context>
<context>
    <name>Autojs</name>
    <message>
        <source>Failed to connect to AutoJS server</source>
        <translation>無法連線到 AutoJS 服務</translation>
    </message>
    <message>
        <source>Failed to open AutoJS script file</source>
        <translation>無法開啟 AutoJS 腳本檔案</translation>
    </message>
    <message>
        <source>AutoJS script started</source>
        <translation>AutoJS 腳本已啟動</translation>
    </message>
</context>
</TS>
