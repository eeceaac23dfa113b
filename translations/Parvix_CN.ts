<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Authentication</name>
    <message>
        <source>The account service did not return a login token.</source>
        <translation>账户服务没有返回登录令牌。</translation>
    </message>
    <message>
        <source>The account service sent an unexpected reply.</source>
        <translation>账户服务返回了无法识别的回复。</translation>
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
    <name>Device</name>
    <message>
        <source>Not Connected</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>Uploading File</source>
        <translation>正在上传文件</translation>
    </message>
    <message>
        <source>Audio Enabled, Need Reconnect</source>
        <translation>已开启声音，需重新连接</translation>
    </message>
    <message>
        <source>Audio Disabled, Need Reconnect</source>
        <translation>已关闭声音，需重新连接</translation>
    </message>
    <message>
        <source>KeyMapping Profile: %1</source>
        <translation>键位映射方案：%1</translation>
    </message>
    <message>
        <source>KeyMapping Disabled</source>
        <translation>已停用键位映射</translation>
    </message>
    <message>
        <source>Failed to tcpip</source>
        <translation>tcpip 失败</translation>
    </message>
    <message>
        <source>WiFi connection enabled</source>
        <translation>已启用 WiFi 连接</translation>
    </message>
    <message>
        <source>Failed to enable <byte value="xd"/> WiFi connection</source>
        <translation>无法启用<byte value="xd"/>WiFi 连接</translation>
    </message>
    <message>
        <source>Mirroring stopped, the adb device list could not be read</source>
        <translation>投屏已停止，无法读取 adb 设备列表</translation>
    </message>
    <message>
        <source>This phone cannot capture sound</source>
        <translation>此手机无法采集声音</translation>
    </message>
    <message>
        <source>Sound cannot be decoded, mirroring without sound</source>
        <translation>无法解码声音，将无声投屏</translation>
    </message>
    <message>
        <source>Mirroring ended on the phone</source>
        <translation>手机上的投屏已结束</translation>
    </message>
    <message>
        <source>Phone disconnected</source>
        <translation>手机已断开连接</translation>
    </message>
</context>
<context>
    <name>DeviceGroupManager</name>
    <message>
        <source>Default Group</source>
        <translation>默认分组</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>Vodav Evodo</source>
        <translation>Vodav Evodo</translation>
    </message>
    <message>
        <source>Parvix Multi-Phones Control</source>
        <translation>Parvix 多机控制</translation>
    </message>
    <message>
        <source>Scan Devices</source>
        <translation>扫描设备</translation>
    </message>
    <message>
        <source>Start All</source>
        <translation>全部启动</translation>
    </message>
    <message>
        <source>Stop All</source>
        <translation>全部停止</translation>
    </message>
    <message>
        <source>No Devices In This Group, Click To Scan</source>
        <translation>此分组没有设备，点击扫描</translation>
    </message>
    <message>
        <source>Click To Start</source>
        <translation>点击启动</translation>
    </message>
</context>
<context>
    <name>MediaRecorder</name>
    <message>
        <source>Record Failed</source>
        <translation>录制失败</translation>
    </message>
    <message>
        <source>Record Started</source>
        <translation>开始录制</translation>
    </message>
    <message>
        <source>Stop Recording</source>
        <translation>正在停止录制</translation>
    </message>
    <message>
        <source>Record Stopped</source>
        <translation>录制已停止</translation>
    </message>
</context>
<context>
    <name>VideoDecoder</name>
    <message>
        <source>Screenshot Saved</source>
        <translation>截图已保存</translation>
    </message>
    <message>
        <source>Screenshot Failed</source>
        <translation>截图失败</translation>
    </message>
</context>
</TS>
