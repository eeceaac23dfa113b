<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
<context>
    <name>Authentication</name>
    <message>
        <source>The account service did not return a login token.</source>
        <translation>帳戶服務沒有傳回登入權杖。</translation>
    </message>
    <message>
        <source>The account service sent an unexpected reply.</source>
        <translation>帳戶服務傳回了無法識別的回覆。</translation>
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
    <name>Device</name>
    <message>
        <source>Not Connected</source>
        <translation>未連接</translation>
    </message>
    <message>
        <source>Uploading File</source>
        <translation>正在上傳檔案</translation>
    </message>
    <message>
        <source>Audio Enabled, Need Reconnect</source>
        <translation>已開啟聲音，需重新連線</translation>
    </message>
    <message>
        <source>Audio Disabled, Need Reconnect</source>
        <translation>已關閉聲音，需重新連線</translation>
    </message>
    <message>
        <source>KeyMapping Profile: %1</source>
        <translation>按鍵映射方案：%1</translation>
    </message>
    <message>
        <source>KeyMapping Disabled</source>
        <translation>已停用按鍵映射</translation>
    </message>
    <message>
        <source>Failed to tcpip</source>
        <translation>tcpip 失敗</translation>
    </message>
    <message>
        <source>WiFi connection enabled</source>
        <translation>已啟用 WiFi 連線</translation>
    </message>
    <message>
        <source>Failed to enable <byte value="xd"/> WiFi connection</source>
        <translation>無法啟用<byte value="xd"/>WiFi 連線</translation>
    </message>
    <message>
        <source>Mirroring stopped, the adb device list could not be read</source>
        <translation>投屏已停止，無法讀取 adb 裝置列表</translation>
    </message>
    <message>
        <source>This phone cannot capture sound</source>
        <translation>此手機無法擷取聲音</translation>
    </message>
    <message>
        <source>Sound cannot be decoded, mirroring without sound</source>
        <translation>無法解碼聲音，將無聲投屏</translation>
    </message>
    <message>
        <source>Mirroring ended on the phone</source>
        <translation>手機上的投屏已結束</translation>
    </message>
    <message>
        <source>Phone disconnected</source>
        <translation>手機已中斷連線</translation>
    </message>
</context>
<context>
    <name>DeviceGroupManager</name>
    <message>
        <source>Default Group</source>
        <translation>預設分組</translation>
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
        <translation>Parvix 多機控制</translation>
    </message>
    <message>
        <source>Scan Devices</source>
        <translation>掃描裝置</translation>
    </message>
    <message>
        <source>Start All</source>
        <translation>全部啟動</translation>
    </message>
    <message>
        <source>Stop All</source>
        <translation>全部停止</translation>
    </message>
    <message>
        <source>No Devices In This Group, Click To Scan</source>
        <translation>此分組沒有裝置，點擊掃描</translation>
    </message>
    <message>
        <source>Click To Start</source>
        <translation>點擊啟動</translation>
    </message>
</context>
<context>
    <name>MediaRecorder</name>
    <message>
        <source>Record Failed</source>
        <translation>錄製失敗</translation>
    </message>
    <message>
        <source>Record Started</source>
        <translation>開始錄製</translation>
    </message>
    <message>
        <source>Stop Recording</source>
        <translation>正在停止錄製</translation>
    </message>
    <message>
        <source>Record Stopped</source>
        <translation>錄製已停止</translation>
    </message>
</context>
<context>
    <name>VideoDecoder</name>
    <message>
        <source>Screenshot Saved</source>
        <translation>截圖已儲存</translation>
    </message>
    <message>
        <source>Screenshot Failed</source>
        <translation>截圖失敗</translation>
    </message>
</context>
</TS>
