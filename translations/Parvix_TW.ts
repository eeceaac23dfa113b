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
    <name>CommonPhraseManager</name>
    <message>
        <source>phrase categories</source>
        <translation>常用語分類</translation>
    </message>
    <message>
        <source>phrases</source>
        <translation>常用語</translation>
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
</context>
<context>
    <name>DeviceGroupManager</name>
    <message>
        <source>Default Group</source>
        <translation>預設分組</translation>
    </message>
    <message>
        <source>device groups</source>
        <translation>裝置分組</translation>
    </message>
</context>
<context>
    <name>DeviceSettings</name>
    <message>
        <source>nicknames</source>
        <translation>暱稱</translation>
    </message>
</context>
<context>
    <name>JsonFile</name>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>無法建立資料夾 %1</translation>
    </message>
    <message>
        <source>a folder has the file&apos;s name</source>
        <translation>已有同名的資料夾</translation>
    </message>
</context>
<context>
    <name>KeyMapping</name>
    <message>
        <source>key-mapping profiles</source>
        <translation>按鍵映射方案</translation>
    </message>
</context>
<context>
    <name>KeyMappingProfile</name>
    <message>
        <source>key mappings in a profile</source>
        <translation>按鍵映射（每個方案）</translation>
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
    <name>StoreErrors</name>
    <message>
        <source>device nicknames</source>
        <translation>裝置暱稱</translation>
    </message>
    <message>
        <source>device groups</source>
        <translation>裝置分組</translation>
    </message>
    <message>
        <source>key mappings</source>
        <translation>按鍵映射</translation>
    </message>
    <message>
        <source>common phrases</source>
        <translation>常用語</translation>
    </message>
    <message>
        <source>The %1 file %2 is damaged or holds content that could not be used. A copy was kept as %3, and what could be used was loaded.</source>
        <translation>%1檔案 %2 已損毀或含有無法使用的內容。已將其備份為 %3，並已載入可用的部分。</translation>
    </message>
    <message>
        <source>The %1 file %2 is too large to be loaded. It was set aside as %3, and the %1 start empty.</source>
        <translation>%1檔案 %2 過大，無法載入。已將其移存為 %3，%1將從空白開始。</translation>
    </message>
    <message>
        <source>The %1 file %2 could not be read or copied aside. It is left as it is, and changes to the %1 are not saved until it can be read.</source>
        <translation>無法讀取或備份%1檔案 %2。該檔案保持原樣；在它能被讀取之前，對%1的變更不會被儲存。</translation>
    </message>
    <message>
        <source>The %1 could not be saved to %2 (%3). Your changes are kept until the application quits, and saving is tried again with the next change.</source>
        <translation>無法將%1儲存到 %2（%3）。您的變更會保留到應用程式結束，並會在下次變更時再次嘗試儲存。</translation>
    </message>
    <message>
        <source>Not added: at most %1 %2 can be kept.</source>
        <translation>未新增：最多只能保存 %1 個%2。</translation>
    </message>
    <message>
        <source>Not saved: a name or text can have at most %1 characters.</source>
        <translation>未儲存：名稱或文字最多只能有 %1 個字元。</translation>
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
