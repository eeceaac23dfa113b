<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
<context>
    <name>ADBCommandDialog</name>
    <message>
        <source>Use &quot;shell %1&quot;</source>
        <translation>改用「shell %1」</translation>
    </message>
    <message>
        <source>adb has no command &quot;%1&quot;; on the phone it runs as &quot;shell %1 ...&quot;.</source>
        <translation>adb 沒有命令「%1」；在手機上請用「shell %1 ...」執行。</translation>
    </message>
    <message>
        <source>Command output will be displayed here...</source>
        <translation>命令輸出將顯示在這裡...</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Execute</source>
        <translation>執行</translation>
    </message>
    <message>
        <source>Command Output</source>
        <translation>命令輸出</translation>
    </message>
    <message>
        <source>ADB Command</source>
        <translation>ADB 命令</translation>
    </message>
    <message>
        <source>Enter ADB command, for example:</source>
        <translation>輸入 ADB 命令，例如：</translation>
    </message>
</context>
<context>
    <name>ADBRestartDialog</name>
    <message>
        <source>Restart ADB Server</source>
        <translation>重新啟動 ADB 服務</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Restarting ADB will disconnect all connected devices.</source>
        <translation>重新啟動 ADB 將中斷所有已連線的裝置。</translation>
    </message>
    <message>
        <source>ADB server restarted successfully</source>
        <translation>ADB 服務重新啟動成功</translation>
    </message>
    <message>
        <source>Failed to restart ADB server</source>
        <translation>ADB 服務重新啟動失敗</translation>
    </message>
</context>
<context>
    <name>AboutDialog</name>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Visit our website for more information and instructions.</source>
        <translation>造訪我們的網站，了解更多資訊和使用說明。</translation>
    </message>
</context>
<context>
    <name>AppConfig</name>
    <message>
        <source>No folder is given.</source>
        <translation>未填寫資料夾。</translation>
    </message>
    <message>
        <source>A file of that name is in the way.</source>
        <translation>已有同名檔案，無法用作資料夾。</translation>
    </message>
    <message>
        <source>The folder cannot be created.</source>
        <translation>無法建立該資料夾。</translation>
    </message>
    <message>
        <source>The folder is not writable.</source>
        <translation>該資料夾無法寫入。</translation>
    </message>
</context>
<context>
    <name>AppSettingsDialog</name>
    <message>
        <source>Not an adb server address (host:port): %1</source>
        <translation>不是 adb 伺服器位址（主機:連接埠）：%1</translation>
    </message>
    <message>
        <source>adb servers on other computers (host:port, one a line); the local server is always used</source>
        <translation>其他電腦上的 adb 伺服器（主機:連接埠，每行一個）；本機伺服器始終使用</translation>
    </message>
    <message>
        <source>Video save path</source>
        <translation>影片儲存路徑</translation>
    </message>
    <message>
        <source>Select video save path</source>
        <translation>選擇影片儲存路徑</translation>
    </message>
    <message>
        <source>Screenshot save path</source>
        <translation>截圖儲存路徑</translation>
    </message>
    <message>
        <source>Select screenshot save path</source>
        <translation>選擇截圖儲存路徑</translation>
    </message>
    <message>
        <source>KeyMapping save path</source>
        <translation>按鍵映射儲存路徑</translation>
    </message>
    <message>
        <source>Select KeyMapping save path</source>
        <translation>選擇按鍵映射儲存路徑</translation>
    </message>
    <message>
        <source>Common Phrase save path</source>
        <translation>常用語儲存路徑</translation>
    </message>
    <message>
        <source>Select Common Phrase save path</source>
        <translation>選擇常用語儲存路徑</translation>
    </message>
    <message>
        <source>Device Nickname save path</source>
        <translation>裝置暱稱儲存路徑</translation>
    </message>
    <message>
        <source>Select Device Nickname save path</source>
        <translation>選擇裝置暱稱儲存路徑</translation>
    </message>
    <message>
        <source>Device Group save path</source>
        <translation>裝置群組儲存路徑</translation>
    </message>
    <message>
        <source>Select Device Group save path</source>
        <translation>選擇裝置群組儲存路徑</translation>
    </message>
    <message>
        <source>Application Settings</source>
        <translation>應用程式設定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>語言</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>瀏覽...</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Please restart the application to apply the changes.</source>
        <translation>請重新啟動應用程式以套用變更。</translation>
    </message>
    <message>
        <source>Reconnect phones that drop while mirroring</source>
        <translation>投屏中斷線的手機自動重新連線</translation>
    </message>
    <message>
        <source>Resume the groups that were mirroring at start-up</source>
        <translation>啟動時恢復上次正在投屏的群組</translation>
    </message>
</context>
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
    <name>BatchJobPanel</name>
    <message>
        <source>Queued</source>
        <translation>排隊中</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>進行中</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>失敗</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>%1 of %2 done, %3 failed, %4 cancelled</source>
        <translation>%2 台中 %1 台完成，%3 台失敗，%4 台已取消</translation>
    </message>
</context>
<context>
    <name>BatteryLabel</name>
    <message>
        <source>Battery</source>
        <translation>電量</translation>
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
    <name>CommonPhrasesDialog</name>
    <message>
        <source>Common Phrases Manager</source>
        <translation>常用語管理</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Category:</source>
        <translation>分類：</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新增</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>編輯</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>Phrases:</source>
        <translation>常用語：</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>更新</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>新增</translation>
    </message>
    <message>
        <source>Enter phrase text...</source>
        <translation>輸入常用語內容...</translation>
    </message>
    <message>
        <source>New Category</source>
        <translation>新增分類</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>Enter category name...</source>
        <translation>輸入分類名稱...</translation>
    </message>
    <message>
        <source>Are you sure you want to delete category?</source>
        <translation>確定要刪除該分類嗎？</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the phrase?</source>
        <translation>確定要刪除該常用語嗎？</translation>
    </message>
    <message>
        <source>No categories yet: click &quot;New&quot; beside Category to add one.</source>
        <translation>還沒有分類：點擊「分類」旁的「新建」新增一個。</translation>
    </message>
    <message>
        <source>No phrases in this category: click &quot;New&quot; beside Phrases to add one.</source>
        <translation>此分類中沒有短語：點擊「短語」旁的「新建」新增一條。</translation>
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
    <message>
        <source>Power off %1? It cannot be switched on again from this computer.</source>
        <translation>關閉 %1 的電源？關機後無法從這台電腦重新開機。</translation>
    </message>
    <message>
        <source>Power Off</source>
        <translation>關機</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
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
    <message>
        <source>Mirroring could not start</source>
        <translation>投屏無法啟動</translation>
    </message>
</context>
<context>
    <name>WifiAdbSwitch</name>
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
    <name>DeviceGroupManagerDialog</name>
    <message>
        <source>Device Group Manager</source>
        <translation>裝置群組管理</translation>
    </message>
    <message>
        <source>Group name cannot be empty</source>
        <translation>群組名稱不能為空</translation>
    </message>
    <message>
        <source>Group name already exists</source>
        <translation>群組名稱已存在</translation>
    </message>
    <message>
        <source>New Group</source>
        <translation>新增群組</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>編輯</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>No device groups</source>
        <translation>暫無裝置群組</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>建立</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Are you sure you want to delete group &quot;%1&quot;?</source>
        <translation>確定要刪除群組「%1」嗎？</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Group Name</source>
        <translation>群組名稱</translation>
    </message>
    <message>
        <source>Enter group name...</source>
        <translation>輸入群組名稱...</translation>
    </message>
</context>
<context>
    <name>DeviceInfoDialog</name>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Basic Information</source>
        <translation>基本資訊</translation>
    </message>
    <message>
        <source>Serial Number:</source>
        <translation>序號：</translation>
    </message>
    <message>
        <source>Manufacturer:</source>
        <translation>製造商：</translation>
    </message>
    <message>
        <source>Device Model:</source>
        <translation>裝置型號：</translation>
    </message>
    <message>
        <source>Android Version:</source>
        <translation>Android 版本：</translation>
    </message>
    <message>
        <source>Hardware Information</source>
        <translation>硬體資訊</translation>
    </message>
    <message>
        <source>Memory Size:</source>
        <translation>記憶體大小：</translation>
    </message>
    <message>
        <source>Screen Size:</source>
        <translation>螢幕尺寸：</translation>
    </message>
    <message>
        <source>Network Information</source>
        <translation>網路資訊</translation>
    </message>
    <message>
        <source>Country / Region Code:</source>
        <translation>國家/地區代碼：</translation>
    </message>
    <message>
        <source>Operator:</source>
        <translation>電信業者：</translation>
    </message>
    <message>
        <source>Connection Information</source>
        <translation>連線資訊</translation>
    </message>
    <message>
        <source>ADB TCP Port:</source>
        <translation>ADB TCP 連接埠：</translation>
    </message>
    <message>
        <source>USB Configuration:</source>
        <translation>USB 設定：</translation>
    </message>
    <message>
        <source>Device Information</source>
        <translation>裝置資訊</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
</context>
<context>
    <name>DeviceLink</name>
    <message>
        <source>Allow USB debugging on the phone</source>
        <translation>請在手機上允許 USB 偵錯</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>離線</translation>
    </message>
    <message>
        <source>In recovery mode</source>
        <translation>處於復原模式</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未連線</translation>
    </message>
</context>
<context>
    <name>DeviceList</name>
    <message>
        <source>Expand</source>
        <translation>展開</translation>
    </message>
    <message>
        <source>Collapse</source>
        <translation>收起</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>啟動</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
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
    <message>
        <source>Reconnecting…</source>
        <translation>正在重新連線…</translation>
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
    <name>DeviceRenameDialog</name>
    <message>
        <source>Rename Device</source>
        <translation>重新命名裝置</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Serial Number:</source>
        <translation>序號：</translation>
    </message>
    <message>
        <source>Current Name:</source>
        <translation>目前名稱：</translation>
    </message>
    <message>
        <source>No Custom Name</source>
        <translation>未自訂名稱</translation>
    </message>
    <message>
        <source>New Name:</source>
        <translation>新名稱：</translation>
    </message>
    <message>
        <source>Enter new device name</source>
        <translation>輸入新的裝置名稱</translation>
    </message>
</context>
<context>
    <name>DeviceScanDialog</name>
    <message>
        <source>Scan Devices</source>
        <translation>掃描裝置</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>重新整理</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Add to Group</source>
        <translation>加入群組</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全選</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>選擇</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>類型</translation>
    </message>
    <message>
        <source>Nickname</source>
        <translation>暱稱</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>序號</translation>
    </message>
    <message>
        <source>Product</source>
        <translation>產品</translation>
    </message>
    <message>
        <source>No devices found</source>
        <translation>未發現裝置</translation>
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
        <source>Stop Reconnecting</source>
        <translation>停止重新連線</translation>
    </message>
    <message>
        <source>Click To Start</source>
        <translation>點擊啟動</translation>
    </message>
    <message>
        <source>On Big Screen</source>
        <translation>大螢幕顯示中</translation>
    </message>
    <message>
        <source>Catching up</source>
        <translation>正在追趕畫面</translation>
    </message>
    <message>
        <source>Reconnecting…</source>
        <translation>正在重新連線…</translation>
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
    <name>ForgotPasswordDialog</name>
    <message>
        <source>Forgot Password</source>
        <translation>忘記密碼</translation>
    </message>
    <message>
        <source>Please check if your email address is correct and verified, then try again.</source>
        <translation>請檢查您的電子郵件地址是否正確並已驗證，然後重試。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Password reset link has been sent to your email.</source>
        <translation>密碼重設連結已寄到您的電子郵件。</translation>
    </message>
    <message>
        <source>Enter your email address...</source>
        <translation>輸入您的電子郵件地址...</translation>
    </message>
    <message>
        <source>We will send password reset link to your email address.</source>
        <translation>我們將把密碼重設連結寄到您的電子郵件。</translation>
    </message>
    <message>
        <source>Send Reset Link</source>
        <translation>傳送重設連結</translation>
    </message>
    <message>
        <source>Remember your password? </source>
        <translation>想起密碼了？</translation>
    </message>
    <message>
        <source>Back to Login</source>
        <translation>返回登入</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
</context>
<context>
    <name>GroupJobs</name>
    <message>
        <source>No answer from adb</source>
        <translation>adb 沒有回應</translation>
    </message>
    <message>
        <source>Install %1</source>
        <translation>安裝 %1</translation>
    </message>
    <message>
        <source>Upload %1</source>
        <translation>上傳 %1</translation>
    </message>
    <message>
        <source>Install or upload %1 files</source>
        <translation>安裝或上傳 %1 個檔案</translation>
    </message>
    <message>
        <source>ADB command</source>
        <translation>ADB 命令</translation>
    </message>
    <message>
        <source>Screenshot</source>
        <translation>截圖</translation>
    </message>
    <message>
        <source>Run AutoJS %1</source>
        <translation>執行 AutoJS %1</translation>
    </message>
    <message>
        <source>The phone left the group</source>
        <translation>手機已離開分組</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未連線</translation>
    </message>
</context>
<context>
    <name>GroupSettingsDialog</name>
    <message>
        <source>Group Settings</source>
        <translation>群組設定</translation>
    </message>
    <message>
        <source>Match Tile Size:</source>
        <translation>匹配視窗大小：</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>General Settings</source>
        <translation>一般設定</translation>
    </message>
    <message>
        <source>Group Control Delay:</source>
        <translation>群控延遲：</translation>
    </message>
    <message>
        <source>Show Control Buttons:</source>
        <translation>顯示控制按鈕：</translation>
    </message>
    <message>
        <source>Enable Sound Output:</source>
        <translation>開啟聲音輸出：</translation>
    </message>
    <message>
        <source>Android 11 or later</source>
        <translation>需 Android 11 以上</translation>
    </message>
    <message>
        <source>Need Reconnect</source>
        <translation>需重新連線</translation>
    </message>
    <message>
        <source>Small Window Settings</source>
        <translation>小視窗設定</translation>
    </message>
    <message>
        <source>Width:</source>
        <translation>寬度：</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>解析度：</translation>
    </message>
    <message>
        <source>Frame Rate:</source>
        <translation>幀率：</translation>
    </message>
    <message>
        <source>Bit Rate:</source>
        <translation>位元率：</translation>
    </message>
    <message>
        <source>Big Window Settings</source>
        <translation>大視窗設定</translation>
    </message>
    <message>
        <source>Big View Width:</source>
        <translation>大視窗寬度：</translation>
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
    <name>KeyMapProfilePicker</name>
    <message>
        <source>Select KeyMapping Profile</source>
        <translation>選擇按鍵映射方案</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>No KeyMap</source>
        <translation>不使用按鍵映射</translation>
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
    <name>KeyMappingAddBox</name>
    <message>
        <source>Add New Key Mapping</source>
        <translation>新增按鍵映射</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>Key:</source>
        <translation>按鍵：</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>類型：</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>點擊</translation>
    </message>
    <message>
        <source>Swipe</source>
        <translation>滑動</translation>
    </message>
    <message>
        <source>X:</source>
        <translation>X：</translation>
    </message>
    <message>
        <source>Y:</source>
        <translation>Y：</translation>
    </message>
    <message>
        <source>Count:</source>
        <translation>次數：</translation>
    </message>
    <message>
        <source>(1-10)</source>
        <translation>(1-10)</translation>
    </message>
    <message>
        <source>Start X:</source>
        <translation>起點 X：</translation>
    </message>
    <message>
        <source>Start Y:</source>
        <translation>起點 Y：</translation>
    </message>
    <message>
        <source>End X:</source>
        <translation>終點 X：</translation>
    </message>
    <message>
        <source>End Y:</source>
        <translation>終點 Y：</translation>
    </message>
    <message>
        <source>Duration:</source>
        <translation>時長：</translation>
    </message>
    <message>
        <source>(50-2000ms)</source>
        <translation>(50-2000毫秒)</translation>
    </message>
    <message>
        <source>This key is already mapped in this profile.</source>
        <translation>該按鍵在此方案中已有映射。</translation>
    </message>
    <message>
        <source>Press a key...</source>
        <translation>請按下一個按鍵...</translation>
    </message>
</context>
<context>
    <name>KeyMappingDialog</name>
    <message>
        <source>Key Mapping Settings</source>
        <translation>按鍵映射設定</translation>
    </message>
    <message>
        <source>Add New Mapping</source>
        <translation>新增映射</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Mapping Profile:</source>
        <translation>映射方案：</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新增</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>點擊</translation>
    </message>
    <message>
        <source>Swipe</source>
        <translation>滑動</translation>
    </message>
    <message>
        <source>Key</source>
        <translation>按鍵</translation>
    </message>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>Count</source>
        <translation>次數</translation>
    </message>
    <message>
        <source>Actions</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>起點</translation>
    </message>
    <message>
        <source>End</source>
        <translation>終點</translation>
    </message>
    <message>
        <source>Duration(ms)</source>
        <translation>時長(毫秒)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Create New Profile</source>
        <translation>新增方案</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>建立</translation>
    </message>
    <message>
        <source>Profile Name:</source>
        <translation>方案名稱：</translation>
    </message>
    <message>
        <source>Enter profile name...</source>
        <translation>輸入方案名稱...</translation>
    </message>
    <message>
        <source>A profile of this name exists already.</source>
        <translation>已存在同名方案。</translation>
    </message>
    <message>
        <source>Delete Profile</source>
        <translation>刪除方案</translation>
    </message>
    <message>
        <source>Are you sure you want to delete profile</source>
        <translation>確定要刪除方案</translation>
    </message>
</context>
<context>
    <name>KeyMappingRow</name>
    <message>
        <source>Edit</source>
        <translation>編輯</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
</context>
<context>
    <name>KeyMappingSwipeEditBox</name>
    <message>
        <source>Edit Swipe Mapping</source>
        <translation>編輯滑動映射</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>Key:</source>
        <translation>按鍵：</translation>
    </message>
    <message>
        <source>Start X:</source>
        <translation>起點 X：</translation>
    </message>
    <message>
        <source>Start Y:</source>
        <translation>起點 Y：</translation>
    </message>
    <message>
        <source>End X:</source>
        <translation>終點 X：</translation>
    </message>
    <message>
        <source>End Y:</source>
        <translation>終點 Y：</translation>
    </message>
    <message>
        <source>Duration(ms):</source>
        <translation>時長(毫秒)：</translation>
    </message>
    <message>
        <source>(50-2000ms)</source>
        <translation>(50-2000毫秒)</translation>
    </message>
</context>
<context>
    <name>KeyMappingTable</name>
    <message>
        <source>No mappings yet</source>
        <translation>暫無映射</translation>
    </message>
    <message>
        <source>Create a profile first</source>
        <translation>請先新增方案</translation>
    </message>
</context>
<context>
    <name>KeyMappingTouchEditBox</name>
    <message>
        <source>Edit Key Mapping</source>
        <translation>編輯按鍵映射</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>Key:</source>
        <translation>按鍵：</translation>
    </message>
    <message>
        <source>X:</source>
        <translation>X：</translation>
    </message>
    <message>
        <source>Y:</source>
        <translation>Y：</translation>
    </message>
    <message>
        <source>Count:</source>
        <translation>次數：</translation>
    </message>
    <message>
        <source>(1-10)</source>
        <translation>(1-10)</translation>
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
        <source>Please download the latest version %1 at:</source>
        <translation>請在以下網址下載最新版本 %1：</translation>
    </message>
    <message>
        <source>New Version Available</source>
        <translation>有新版本</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Data File Problem</source>
        <translation>資料檔案問題</translation>
    </message>
    <message>
        <source>Wireless Pairing</source>
        <translation>無線配對</translation>
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
    <message>
        <source>Record Failed: the disk is full, nothing was recorded</source>
        <translation>錄製失敗：磁碟已滿，未錄下任何內容</translation>
    </message>
    <message>
        <source>Record Failed: the file could not be written, nothing was recorded</source>
        <translation>錄製失敗：無法寫入檔案，未錄下任何內容</translation>
    </message>
</context>
<context>
    <name>MemberLoginDialog</name>
    <message>
        <source>Member Login</source>
        <translation>會員登入</translation>
    </message>
    <message>
        <source>Invalid Email</source>
        <translation>電子郵件無效</translation>
    </message>
    <message>
        <source>Please enter a valid email address.</source>
        <translation>請輸入有效的電子郵件地址。</translation>
    </message>
    <message>
        <source>Invalid Password</source>
        <translation>密碼無效</translation>
    </message>
    <message>
        <source>Please enter a password with at least 8 characters.</source>
        <translation>請輸入至少 8 個字元的密碼。</translation>
    </message>
    <message>
        <source>Login Failed</source>
        <translation>登入失敗</translation>
    </message>
    <message>
        <source>Please check your email and password.</source>
        <translation>請檢查您的電子郵件和密碼。</translation>
    </message>
    <message>
        <source>Enter email address...</source>
        <translation>輸入電子郵件地址...</translation>
    </message>
    <message>
        <source>Enter password...</source>
        <translation>輸入密碼...</translation>
    </message>
    <message>
        <source>Forgot Password</source>
        <translation>忘記密碼</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登入</translation>
    </message>
    <message>
        <source>Don&apos;t have an account? </source>
        <translation>還沒有帳號？</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>註冊</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
</context>
<context>
    <name>MemberRegisterDialog</name>
    <message>
        <source>Member Register</source>
        <translation>會員註冊</translation>
    </message>
    <message>
        <source>Invalid Email</source>
        <translation>電子郵件無效</translation>
    </message>
    <message>
        <source>Please enter a valid email address.</source>
        <translation>請輸入有效的電子郵件地址。</translation>
    </message>
    <message>
        <source>Registration Successful</source>
        <translation>註冊成功</translation>
    </message>
    <message>
        <source>Please check your email for the default password.</source>
        <translation>請查收電子郵件取得預設密碼。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>Registration failed, please try again.</source>
        <translation>註冊失敗，請重試。</translation>
    </message>
    <message>
        <source>Enter email address...</source>
        <translation>輸入電子郵件地址...</translation>
    </message>
    <message>
        <source>Please use a real email address, we will send a default password to your email.</source>
        <translation>請使用真實的電子郵件地址，我們會將預設密碼寄到您的電子郵件。</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>註冊</translation>
    </message>
    <message>
        <source>Already have an account? </source>
        <translation>已有帳號？</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登入</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
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
    <name>PXRequest</name>
    <message>
        <source>The account service address must use https.</source>
        <translation>帳戶服務位址必須使用 https。</translation>
    </message>
    <message>
        <source>The account service sent a reply that is too large.</source>
        <translation>帳戶服務傳回的回覆過大。</translation>
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
    <message>
        <source>Group Controlling</source>
        <translation>群控中</translation>
    </message>
    <message>
        <source>Remove every phone from the group &quot;%1&quot;?</source>
        <translation>從分組&quot;%1&quot;中移除所有手機？</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Jobs</source>
        <translation>任務</translation>
    </message>
</context>
<context>
    <name>PhraseSelectionDialog</name>
    <message>
        <source>Select Phrase</source>
        <translation>選擇常用語</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>No phrases yet: add categories and phrases under Tools, Common Phrases.</source>
        <translation>還沒有短語：請在「工具 - 常用短語」中新增分類和短語。</translation>
    </message>
    <message>
        <source>No phrases in this category: add them under Tools, Common Phrases.</source>
        <translation>此分類中沒有短語：請在「工具 - 常用短語」中新增。</translation>
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
    <name>UserProfileDialog</name>
    <message>
        <source>User Profile</source>
        <translation>使用者資料</translation>
    </message>
    <message>
        <source>Email:</source>
        <translation>電子郵件：</translation>
    </message>
    <message>
        <source>Not logged in</source>
        <translation>未登入</translation>
    </message>
    <message>
        <source>Verified:</source>
        <translation>已驗證：</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Change Password</source>
        <translation>變更密碼</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>登出</translation>
    </message>
    <message>
        <source>Please enter old password</source>
        <translation>請輸入舊密碼</translation>
    </message>
    <message>
        <source>Please enter new password</source>
        <translation>請輸入新密碼</translation>
    </message>
    <message>
        <source>Password must be at least 8 characters</source>
        <translation>密碼至少需要 8 個字元</translation>
    </message>
    <message>
        <source>Passwords do not match</source>
        <translation>兩次輸入的密碼不一致</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Old Password</source>
        <translation>舊密碼</translation>
    </message>
    <message>
        <source>Enter old password</source>
        <translation>輸入舊密碼</translation>
    </message>
    <message>
        <source>New Password</source>
        <translation>新密碼</translation>
    </message>
    <message>
        <source>Enter new password</source>
        <translation>輸入新密碼</translation>
    </message>
    <message>
        <source>Confirm Password</source>
        <translation>確認密碼</translation>
    </message>
    <message>
        <source>Confirm new password</source>
        <translation>再次輸入新密碼</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Password changed successfully, please login again.</source>
        <translation>密碼變更成功，請重新登入。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
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
    <message>
        <source>Screenshot Failed: the folder %1 cannot be created (%2)</source>
        <translation>截圖失敗：無法建立資料夾 %1（%2）</translation>
    </message>
    <message>
        <source>Screenshot Failed: %1 cannot be written (%2)</source>
        <translation>截圖失敗：無法寫入 %1（%2）</translation>
    </message>
</context>
<context>
    <name>DeviceHeader</name>
    <message>
        <source>%1 offline</source>
        <translation>%1 離線</translation>
    </message>
    <message>
        <source>Enlarge</source>
        <translation>放大</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>啟動</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
</context>
<context>
    <name>FailureAlert</name>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>This window cannot be opened.</source>
        <translation>無法開啟此視窗。</translation>
    </message>
</context>
<context>
    <name>WirelessPairing</name>
    <message>
        <source>Enter the pairing address as IP:port, as the phone shows it</source>
        <translation>請按手機顯示的格式輸入配對位址（IP:連接埠）</translation>
    </message>
    <message>
        <source>The pairing code has six digits</source>
        <translation>配對碼為六位數字</translation>
    </message>
    <message>
        <source>Enter the port of the phone&apos;s Wireless debugging screen (1 to 65535)</source>
        <translation>請輸入手機「無線偵錯」頁面上的連接埠（1 到 65535）</translation>
    </message>
    <message>
        <source>Wrong pairing code: check the code shown on the phone</source>
        <translation>配對碼錯誤：請核對手機上顯示的配對碼</translation>
    </message>
    <message>
        <source>Cannot reach %1: check the address, and that the phone is on the same network with its pairing dialog open</source>
        <translation>無法連線 %1：請檢查位址，並確認手機在同一網路且配對對話框已開啟</translation>
    </message>
    <message>
        <source>Pairing failed: %1</source>
        <translation>配對失敗：%1</translation>
    </message>
    <message>
        <source>Paired, but connecting to %1 failed: %2</source>
        <translation>已配對，但連線 %1 失敗：%2</translation>
    </message>
    <message>
        <source>Connected to %1</source>
        <translation>已連線到 %1</translation>
    </message>
</context>
<context>
    <name>WirelessPairingDialog</name>
    <message>
        <source>Wireless Pairing</source>
        <translation>無線配對</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message>
        <source>Pairing…</source>
        <translation>配對中…</translation>
    </message>
    <message>
        <source>Pair and Connect</source>
        <translation>配對並連線</translation>
    </message>
    <message>
        <source>On the phone: Developer options, Wireless debugging, Pair device with pairing code.</source>
        <translation>在手機上：開發人員選項 → 無線偵錯 → 使用配對碼配對裝置。</translation>
    </message>
    <message>
        <source>Pairing address:</source>
        <translation>配對位址：</translation>
    </message>
    <message>
        <source>Pairing code:</source>
        <translation>配對碼：</translation>
    </message>
    <message>
        <source>Connect port:</source>
        <translation>連線連接埠：</translation>
    </message>
    <message>
        <source>shown under IP address &amp; Port</source>
        <translation>顯示在「IP 位址和連接埠」下</translation>
    </message>
</context>
<context>
    <name>HostFollower</name>
    <message>
        <source>Offline: the adb server %1 does not answer</source>
        <translation>離線：adb 伺服器 %1 無回應</translation>
    </message>
    <message>
        <source>The adb server %1 answers again</source>
        <translation>adb 伺服器 %1 已恢復回應</translation>
    </message>
</context>
</TS>
