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
    <name>BigDeviceView</name>
    <message>
        <source>Big Screen</source>
        <translation>大螢幕</translation>
    </message>
    <message>
        <source>Click To Start</source>
        <translation>點擊啟動</translation>
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
    <name>ControlButtons</name>
    <message>
        <source>Home</source>
        <translation>主頁</translation>
    </message>
    <message>
        <source>Task List</source>
        <translation>工作清單</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>Swipe Up</source>
        <translation>上滑</translation>
    </message>
    <message>
        <source>Swipe Down</source>
        <translation>下滑</translation>
    </message>
    <message>
        <source>Swipe Left</source>
        <translation>左滑</translation>
    </message>
    <message>
        <source>Swipe Right</source>
        <translation>右滑</translation>
    </message>
    <message>
        <source>Rotate Screen</source>
        <translation>旋轉螢幕</translation>
    </message>
    <message>
        <source>Screenshot</source>
        <translation>截圖</translation>
    </message>
    <message>
        <source>Stop Recording</source>
        <translation>停止錄製</translation>
    </message>
    <message>
        <source>Record Video</source>
        <translation>錄製影片</translation>
    </message>
    <message>
        <source>Select Phrase</source>
        <translation>選擇常用語</translation>
    </message>
    <message>
        <source>Volume Up</source>
        <translation>音量加</translation>
    </message>
    <message>
        <source>Volume Down</source>
        <translation>音量減</translation>
    </message>
    <message>
        <source>Upload File</source>
        <translation>上傳檔案</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>選擇檔案</translation>
    </message>
    <message>
        <source>KeyMapping: %1</source>
        <translation>按鍵映射：%1</translation>
    </message>
    <message>
        <source>Key Mapping</source>
        <translation>按鍵映射</translation>
    </message>
    <message>
        <source>Screen Position</source>
        <translation>螢幕座標</translation>
    </message>
    <message>
        <source>Install APK</source>
        <translation>安裝 APK</translation>
    </message>
    <message>
        <source>Select APK File</source>
        <translation>選擇 APK 檔案</translation>
    </message>
    <message>
        <source>APK files (*.apk)</source>
        <translation>APK 檔案 (*.apk)</translation>
    </message>
    <message>
        <source>Stop AutoJS</source>
        <translation>停止 AutoJS</translation>
    </message>
    <message>
        <source>Run AutoJS</source>
        <translation>執行 AutoJS</translation>
    </message>
    <message>
        <source>Select AutoJS Script</source>
        <translation>選擇 AutoJS 腳本</translation>
    </message>
    <message>
        <source>autojs files (*.js)</source>
        <translation>autojs 檔案 (*.js)</translation>
    </message>
    <message>
        <source>Run ADB Command</source>
        <translation>執行 ADB 命令</translation>
    </message>
    <message>
        <source>Screen On</source>
        <translation>點亮螢幕</translation>
    </message>
    <message>
        <source>Screen Off</source>
        <translation>關閉螢幕</translation>
    </message>
    <message>
        <source>Audio Enabled</source>
        <translation>聲音已開啟</translation>
    </message>
    <message>
        <source>Audio Disabled</source>
        <translation>聲音已關閉</translation>
    </message>
    <message>
        <source>Reboot</source>
        <translation>重新啟動</translation>
    </message>
    <message>
        <source>Shutdown</source>
        <translation>關機</translation>
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
    <message>
        <source>This phone sent a video format the application cannot show</source>
        <translation>此手機傳送的視訊格式本程式無法顯示</translation>
    </message>
    <message>
        <source>This phone sent a sound format the application cannot play</source>
        <translation>此手機傳送的聲音格式本程式無法播放</translation>
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
    <name>DeviceList</name>
    <message>
        <source>name</source>
        <translation>名稱</translation>
    </message>
    <message>
        <source>serial</source>
        <translation>序號</translation>
    </message>
    <message>
        <source>connection type</source>
        <translation>連線方式</translation>
    </message>
</context>
<context>
    <name>DeviceMenu</name>
    <message>
        <source>Naming Device</source>
        <translation>裝置命名</translation>
    </message>
    <message>
        <source>Enable WiFi Connection</source>
        <translation>啟用 WiFi 連線</translation>
    </message>
    <message>
        <source>Disconnect WiFi</source>
        <translation>中斷 WiFi</translation>
    </message>
    <message>
        <source>Device Information</source>
        <translation>裝置資訊</translation>
    </message>
    <message>
        <source>Move to Group</source>
        <translation>移動到分組</translation>
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
    <name>DeviceView</name>
    <message>
        <source>Click To Start</source>
        <translation>點擊啟動</translation>
    </message>
    <message>
        <source>On Big Screen</source>
        <translation>大螢幕顯示中</translation>
    </message>
</context>
<context>
    <name>FilePicker</name>
    <message>
        <source>Select File</source>
        <translation>選擇檔案</translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation>所有檔案 (*.*)</translation>
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
        <source>No Devices In This Group, Click To Scan</source>
        <translation>此分組沒有裝置，點擊掃描</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>裝置</translation>
    </message>
    <message>
        <source>Manage Device Groups</source>
        <translation>管理裝置分組</translation>
    </message>
    <message>
        <source>Restart ADB Server</source>
        <translation>重新啟動 ADB 服務</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>工具</translation>
    </message>
    <message>
        <source>Common Phrases</source>
        <translation>常用語</translation>
    </message>
    <message>
        <source>Key Mapping</source>
        <translation>按鍵映射</translation>
    </message>
    <message>
        <source>Member</source>
        <translation>會員</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登入</translation>
    </message>
    <message>
        <source>User Profile</source>
        <translation>使用者資料</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>About APP</source>
        <translation>關於應用程式</translation>
    </message>
    <message>
        <source>APP Settings</source>
        <translation>應用程式設定</translation>
    </message>
    <message>
        <source>Please download the latest version %1 at &lt;br/&gt;&lt;br/&gt; </source>
        <translation>請在以下網址下載最新版本 %1：&lt;br/&gt;&lt;br/&gt; </translation>
    </message>
    <message>
        <source>New Version Available</source>
        <translation>有新版本</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
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
    <message>
        <source>Record Failed: the disk is full</source>
        <translation>錄製失敗：磁碟已滿</translation>
    </message>
    <message>
        <source>Record Failed: the file could not be written</source>
        <translation>錄製失敗：無法寫入檔案</translation>
    </message>
</context>
<context>
    <name>PXAlert</name>
    <message>
        <source>Alert</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
</context>
<context>
    <name>PhoneScreenGrid</name>
    <message>
        <source>Devices</source>
        <translation>裝置</translation>
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
        <source>Clear All</source>
        <translation>全部清除</translation>
    </message>
    <message>
        <source>🚩 Group Controlling</source>
        <translation>🚩 群控中</translation>
    </message>
    <message>
        <source>Start Group Control</source>
        <translation>開始群控</translation>
    </message>
    <message>
        <source>Portrait</source>
        <translation>直向</translation>
    </message>
    <message>
        <source>Landscape</source>
        <translation>橫向</translation>
    </message>
    <message>
        <source>More Group Actions</source>
        <translation>更多分組操作</translation>
    </message>
    <message>
        <source>Screenshot</source>
        <translation>截圖</translation>
    </message>
    <message>
        <source>Install APK</source>
        <translation>安裝 APK</translation>
    </message>
    <message>
        <source>Select APK File</source>
        <translation>選擇 APK 檔案</translation>
    </message>
    <message>
        <source>APK files (*.apk)</source>
        <translation>APK 檔案 (*.apk)</translation>
    </message>
    <message>
        <source>Upload File</source>
        <translation>上傳檔案</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>選擇檔案</translation>
    </message>
    <message>
        <source>Run AutoJS</source>
        <translation>執行 AutoJS</translation>
    </message>
    <message>
        <source>Select autojs Script</source>
        <translation>選擇 autojs 腳本</translation>
    </message>
    <message>
        <source>autojs files (*.js)</source>
        <translation>autojs 檔案 (*.js)</translation>
    </message>
    <message>
        <source>Stop AutoJS</source>
        <translation>停止 AutoJS</translation>
    </message>
    <message>
        <source>ADB Commands</source>
        <translation>ADB 命令</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
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
