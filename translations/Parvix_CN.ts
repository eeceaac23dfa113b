<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ADBCommandDialog</name>
    <message>
        <source>Use &quot;shell %1&quot;</source>
        <translation>改用“shell %1”</translation>
    </message>
    <message>
        <source>adb has no command &quot;%1&quot;; on the phone it runs as &quot;shell %1 ...&quot;.</source>
        <translation>adb 没有命令“%1”；在手机上请用“shell %1 ...”运行。</translation>
    </message>
    <message>
        <source>Command output will be displayed here...</source>
        <translation>命令输出将显示在这里...</translation>
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
        <translation>关闭</translation>
    </message>
    <message>
        <source>Execute</source>
        <translation>执行</translation>
    </message>
    <message>
        <source>Command Output</source>
        <translation>命令输出</translation>
    </message>
    <message>
        <source>ADB Command</source>
        <translation>ADB 命令</translation>
    </message>
    <message>
        <source>Enter ADB command, for example:</source>
        <translation>输入 ADB 命令，例如：</translation>
    </message>
</context>
<context>
    <name>ADBRestartDialog</name>
    <message>
        <source>Restart ADB Server</source>
        <translation>重启 ADB 服务</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Restarting ADB will disconnect all connected devices.</source>
        <translation>重启 ADB 将断开所有已连接的设备。</translation>
    </message>
    <message>
        <source>ADB server restarted successfully</source>
        <translation>ADB 服务重启成功</translation>
    </message>
    <message>
        <source>Failed to restart ADB server</source>
        <translation>ADB 服务重启失败</translation>
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
        <translation>访问我们的网站，了解更多信息和使用说明。</translation>
    </message>
</context>
<context>
    <name>AppConfig</name>
    <message>
        <source>No folder is given.</source>
        <translation>未填写文件夹。</translation>
    </message>
    <message>
        <source>A file of that name is in the way.</source>
        <translation>已有同名文件，无法用作文件夹。</translation>
    </message>
    <message>
        <source>The folder cannot be created.</source>
        <translation>无法创建该文件夹。</translation>
    </message>
    <message>
        <source>The folder is not writable.</source>
        <translation>该文件夹不可写入。</translation>
    </message>
</context>
<context>
    <name>AppSettingsDialog</name>
    <message>
        <source>Not an adb server address (host:port): %1</source>
        <translation>不是 adb 服务器地址（主机:端口）：%1</translation>
    </message>
    <message>
        <source>adb servers on other computers (host:port, one a line); the local server is always used</source>
        <translation>其他电脑上的 adb 服务器（主机:端口，每行一个）；本机服务器始终使用</translation>
    </message>
    <message>
        <source>Video save path</source>
        <translation>视频保存路径</translation>
    </message>
    <message>
        <source>Select video save path</source>
        <translation>选择视频保存路径</translation>
    </message>
    <message>
        <source>Screenshot save path</source>
        <translation>截图保存路径</translation>
    </message>
    <message>
        <source>Select screenshot save path</source>
        <translation>选择截图保存路径</translation>
    </message>
    <message>
        <source>KeyMapping save path</source>
        <translation>按键映射保存路径</translation>
    </message>
    <message>
        <source>Select KeyMapping save path</source>
        <translation>选择按键映射保存路径</translation>
    </message>
    <message>
        <source>Common Phrase save path</source>
        <translation>常用语保存路径</translation>
    </message>
    <message>
        <source>Select Common Phrase save path</source>
        <translation>选择常用语保存路径</translation>
    </message>
    <message>
        <source>Device Nickname save path</source>
        <translation>设备昵称保存路径</translation>
    </message>
    <message>
        <source>Select Device Nickname save path</source>
        <translation>选择设备昵称保存路径</translation>
    </message>
    <message>
        <source>Device Group save path</source>
        <translation>设备分组保存路径</translation>
    </message>
    <message>
        <source>Select Device Group save path</source>
        <translation>选择设备分组保存路径</translation>
    </message>
    <message>
        <source>Application Settings</source>
        <translation>应用设置</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>浏览...</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Please restart the application to apply the changes.</source>
        <translation>请重启应用以使更改生效。</translation>
    </message>
    <message>
        <source>Reconnect phones that drop while mirroring</source>
        <translation>投屏中断开的手机自动重新连接</translation>
    </message>
    <message>
        <source>Resume the groups that were mirroring at start-up</source>
        <translation>启动时恢复上次正在投屏的分组</translation>
    </message>
</context>
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
    <name>BatchJobPanel</name>
    <message>
        <source>Queued</source>
        <translation>排队中</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>进行中</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>失败</translation>
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
        <translation>%2 台中 %1 台完成，%3 台失败，%4 台已取消</translation>
    </message>
</context>
<context>
    <name>BatteryLabel</name>
    <message>
        <source>Battery</source>
        <translation>电量</translation>
    </message>
</context>
<context>
    <name>BigDeviceView</name>
    <message>
        <source>Big Screen</source>
        <translation>大屏</translation>
    </message>
    <message>
        <source>Click To Start</source>
        <translation>点击启动</translation>
    </message>
</context>
<context>
    <name>CommonPhraseManager</name>
    <message>
        <source>phrase categories</source>
        <translation>常用语分类</translation>
    </message>
    <message>
        <source>phrases</source>
        <translation>常用语</translation>
    </message>
</context>
<context>
    <name>CommonPhrasesDialog</name>
    <message>
        <source>Common Phrases Manager</source>
        <translation>常用语管理</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Category:</source>
        <translation>分类：</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新建</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Phrases:</source>
        <translation>常用语：</translation>
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
        <translation>添加</translation>
    </message>
    <message>
        <source>Enter phrase text...</source>
        <translation>输入常用语内容...</translation>
    </message>
    <message>
        <source>New Category</source>
        <translation>新建分类</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Enter category name...</source>
        <translation>输入分类名称...</translation>
    </message>
    <message>
        <source>Are you sure you want to delete category?</source>
        <translation>确定要删除该分类吗？</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the phrase?</source>
        <translation>确定要删除该常用语吗？</translation>
    </message>
    <message>
        <source>No categories yet: click &quot;New&quot; beside Category to add one.</source>
        <translation>还没有分类：点击“分类”旁的“新建”添加一个。</translation>
    </message>
    <message>
        <source>No phrases in this category: click &quot;New&quot; beside Phrases to add one.</source>
        <translation>此分类中没有短语：点击“短语”旁的“新建”添加一条。</translation>
    </message>
</context>
<context>
    <name>ControlButtons</name>
    <message>
        <source>Home</source>
        <translation>主页</translation>
    </message>
    <message>
        <source>Task List</source>
        <translation>任务列表</translation>
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
        <translation>旋转屏幕</translation>
    </message>
    <message>
        <source>Screenshot</source>
        <translation>截图</translation>
    </message>
    <message>
        <source>Stop Recording</source>
        <translation>停止录制</translation>
    </message>
    <message>
        <source>Record Video</source>
        <translation>录制视频</translation>
    </message>
    <message>
        <source>Select Phrase</source>
        <translation>选择常用语</translation>
    </message>
    <message>
        <source>Volume Up</source>
        <translation>音量加</translation>
    </message>
    <message>
        <source>Volume Down</source>
        <translation>音量减</translation>
    </message>
    <message>
        <source>Upload File</source>
        <translation>上传文件</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>KeyMapping: %1</source>
        <translation>按键映射：%1</translation>
    </message>
    <message>
        <source>Key Mapping</source>
        <translation>按键映射</translation>
    </message>
    <message>
        <source>Screen Position</source>
        <translation>屏幕坐标</translation>
    </message>
    <message>
        <source>Install APK</source>
        <translation>安装 APK</translation>
    </message>
    <message>
        <source>Select APK File</source>
        <translation>选择 APK 文件</translation>
    </message>
    <message>
        <source>APK files (*.apk)</source>
        <translation>APK 文件 (*.apk)</translation>
    </message>
    <message>
        <source>Stop AutoJS</source>
        <translation>停止 AutoJS</translation>
    </message>
    <message>
        <source>Run AutoJS</source>
        <translation>运行 AutoJS</translation>
    </message>
    <message>
        <source>Select AutoJS Script</source>
        <translation>选择 AutoJS 脚本</translation>
    </message>
    <message>
        <source>autojs files (*.js)</source>
        <translation>autojs 文件 (*.js)</translation>
    </message>
    <message>
        <source>Run ADB Command</source>
        <translation>执行 ADB 命令</translation>
    </message>
    <message>
        <source>Screen On</source>
        <translation>点亮屏幕</translation>
    </message>
    <message>
        <source>Screen Off</source>
        <translation>关闭屏幕</translation>
    </message>
    <message>
        <source>Audio Enabled</source>
        <translation>声音已开启</translation>
    </message>
    <message>
        <source>Audio Disabled</source>
        <translation>声音已关闭</translation>
    </message>
    <message>
        <source>Reboot</source>
        <translation>重启</translation>
    </message>
    <message>
        <source>Shutdown</source>
        <translation>关机</translation>
    </message>
    <message>
        <source>Power off %1? It cannot be switched on again from this computer.</source>
        <translation>关闭 %1 的电源？关机后无法从这台电脑重新开机。</translation>
    </message>
    <message>
        <source>Power Off</source>
        <translation>关机</translation>
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
    <message>
        <source>This phone sent a video format the application cannot show</source>
        <translation>此手机发送的视频格式本程序无法显示</translation>
    </message>
    <message>
        <source>This phone sent a sound format the application cannot play</source>
        <translation>此手机发送的声音格式本程序无法播放</translation>
    </message>
    <message>
        <source>Mirroring could not start</source>
        <translation>投屏无法启动</translation>
    </message>
</context>
<context>
    <name>WifiAdbSwitch</name>
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
</context>
<context>
    <name>DeviceGroupManager</name>
    <message>
        <source>Default Group</source>
        <translation>默认分组</translation>
    </message>
    <message>
        <source>device groups</source>
        <translation>设备分组</translation>
    </message>
</context>
<context>
    <name>DeviceGroupManagerDialog</name>
    <message>
        <source>Device Group Manager</source>
        <translation>设备分组管理</translation>
    </message>
    <message>
        <source>Group name cannot be empty</source>
        <translation>分组名称不能为空</translation>
    </message>
    <message>
        <source>Group name already exists</source>
        <translation>分组名称已存在</translation>
    </message>
    <message>
        <source>New Group</source>
        <translation>新建分组</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>No device groups</source>
        <translation>暂无设备分组</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>创建</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Are you sure you want to delete group &quot;%1&quot;?</source>
        <translation>确定要删除分组“%1”吗？</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Group Name</source>
        <translation>分组名称</translation>
    </message>
    <message>
        <source>Enter group name...</source>
        <translation>输入分组名称...</translation>
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
        <translation>基本信息</translation>
    </message>
    <message>
        <source>Serial Number:</source>
        <translation>序列号：</translation>
    </message>
    <message>
        <source>Manufacturer:</source>
        <translation>制造商：</translation>
    </message>
    <message>
        <source>Device Model:</source>
        <translation>设备型号：</translation>
    </message>
    <message>
        <source>Android Version:</source>
        <translation>Android 版本：</translation>
    </message>
    <message>
        <source>Hardware Information</source>
        <translation>硬件信息</translation>
    </message>
    <message>
        <source>Memory Size:</source>
        <translation>内存大小：</translation>
    </message>
    <message>
        <source>Screen Size:</source>
        <translation>屏幕尺寸：</translation>
    </message>
    <message>
        <source>Network Information</source>
        <translation>网络信息</translation>
    </message>
    <message>
        <source>Country / Region Code:</source>
        <translation>国家/地区代码：</translation>
    </message>
    <message>
        <source>Operator:</source>
        <translation>运营商：</translation>
    </message>
    <message>
        <source>Connection Information</source>
        <translation>连接信息</translation>
    </message>
    <message>
        <source>ADB TCP Port:</source>
        <translation>ADB TCP 端口：</translation>
    </message>
    <message>
        <source>USB Configuration:</source>
        <translation>USB 配置：</translation>
    </message>
    <message>
        <source>Device Information</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>DeviceLink</name>
    <message>
        <source>Allow USB debugging on the phone</source>
        <translation>请在手机上允许 USB 调试</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>离线</translation>
    </message>
    <message>
        <source>In recovery mode</source>
        <translation>处于恢复模式</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未连接</translation>
    </message>
</context>
<context>
    <name>DeviceList</name>
    <message>
        <source>Expand</source>
        <translation>展开</translation>
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
        <translation>启动</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>serial</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>connection type</source>
        <translation>连接方式</translation>
    </message>
    <message>
        <source>Reconnecting…</source>
        <translation>正在重新连接…</translation>
    </message>
</context>
<context>
    <name>DeviceMenu</name>
    <message>
        <source>Naming Device</source>
        <translation>设备命名</translation>
    </message>
    <message>
        <source>Enable WiFi Connection</source>
        <translation>启用 WiFi 连接</translation>
    </message>
    <message>
        <source>Disconnect WiFi</source>
        <translation>断开 WiFi</translation>
    </message>
    <message>
        <source>Device Information</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <source>Move to Group</source>
        <translation>移动到分组</translation>
    </message>
</context>
<context>
    <name>DeviceRenameDialog</name>
    <message>
        <source>Rename Device</source>
        <translation>重命名设备</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Serial Number:</source>
        <translation>序列号：</translation>
    </message>
    <message>
        <source>Current Name:</source>
        <translation>当前名称：</translation>
    </message>
    <message>
        <source>No Custom Name</source>
        <translation>未自定义名称</translation>
    </message>
    <message>
        <source>New Name:</source>
        <translation>新名称：</translation>
    </message>
    <message>
        <source>Enter new device name</source>
        <translation>输入新的设备名称</translation>
    </message>
</context>
<context>
    <name>DeviceScanDialog</name>
    <message>
        <source>Scan Devices</source>
        <translation>扫描设备</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Add to Group</source>
        <translation>添加到分组</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>选择</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Nickname</source>
        <translation>昵称</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Product</source>
        <translation>产品</translation>
    </message>
    <message>
        <source>No devices found</source>
        <translation>未发现设备</translation>
    </message>
</context>
<context>
    <name>DeviceSettings</name>
    <message>
        <source>nicknames</source>
        <translation>昵称</translation>
    </message>
</context>
<context>
    <name>DeviceView</name>
    <message>
        <source>Stop Reconnecting</source>
        <translation>停止重连</translation>
    </message>
    <message>
        <source>Click To Start</source>
        <translation>点击启动</translation>
    </message>
    <message>
        <source>On Big Screen</source>
        <translation>大屏显示中</translation>
    </message>
    <message>
        <source>Catching up</source>
        <translation>正在追赶画面</translation>
    </message>
    <message>
        <source>Reconnecting…</source>
        <translation>正在重新连接…</translation>
    </message>
</context>
<context>
    <name>FilePicker</name>
    <message>
        <source>Select File</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation>所有文件 (*.*)</translation>
    </message>
</context>
<context>
    <name>ForgotPasswordDialog</name>
    <message>
        <source>Forgot Password</source>
        <translation>忘记密码</translation>
    </message>
    <message>
        <source>Please check if your email address is correct and verified, then try again.</source>
        <translation>请检查您的邮箱地址是否正确并已验证，然后重试。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Password reset link has been sent to your email.</source>
        <translation>密码重置链接已发送到您的邮箱。</translation>
    </message>
    <message>
        <source>Enter your email address...</source>
        <translation>输入您的邮箱地址...</translation>
    </message>
    <message>
        <source>We will send password reset link to your email address.</source>
        <translation>我们将把密码重置链接发送到您的邮箱。</translation>
    </message>
    <message>
        <source>Send Reset Link</source>
        <translation>发送重置链接</translation>
    </message>
    <message>
        <source>Remember your password? </source>
        <translation>想起密码了？</translation>
    </message>
    <message>
        <source>Back to Login</source>
        <translation>返回登录</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>GroupJobs</name>
    <message>
        <source>No answer from adb</source>
        <translation>adb 没有回应</translation>
    </message>
    <message>
        <source>Install %1</source>
        <translation>安装 %1</translation>
    </message>
    <message>
        <source>Upload %1</source>
        <translation>上传 %1</translation>
    </message>
    <message>
        <source>Install or upload %1 files</source>
        <translation>安装或上传 %1 个文件</translation>
    </message>
    <message>
        <source>ADB command</source>
        <translation>ADB 命令</translation>
    </message>
    <message>
        <source>Screenshot</source>
        <translation>截图</translation>
    </message>
    <message>
        <source>Run AutoJS %1</source>
        <translation>运行 AutoJS %1</translation>
    </message>
    <message>
        <source>The phone left the group</source>
        <translation>手机已离开分组</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未连接</translation>
    </message>
</context>
<context>
    <name>GroupSettingsDialog</name>
    <message>
        <source>Group Settings</source>
        <translation>分组设置</translation>
    </message>
    <message>
        <source>Match Tile Size:</source>
        <translation>匹配窗口大小：</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>General Settings</source>
        <translation>通用设置</translation>
    </message>
    <message>
        <source>Group Control Delay:</source>
        <translation>群控延迟：</translation>
    </message>
    <message>
        <source>Show Control Buttons:</source>
        <translation>显示控制按钮：</translation>
    </message>
    <message>
        <source>Enable Sound Output:</source>
        <translation>开启声音输出：</translation>
    </message>
    <message>
        <source>Android 11 or later</source>
        <translation>需 Android 11 及以上</translation>
    </message>
    <message>
        <source>Need Reconnect</source>
        <translation>需重新连接</translation>
    </message>
    <message>
        <source>Small Window Settings</source>
        <translation>小窗口设置</translation>
    </message>
    <message>
        <source>Width:</source>
        <translation>宽度：</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>分辨率：</translation>
    </message>
    <message>
        <source>Frame Rate:</source>
        <translation>帧率：</translation>
    </message>
    <message>
        <source>Bit Rate:</source>
        <translation>码率：</translation>
    </message>
    <message>
        <source>Big Window Settings</source>
        <translation>大窗口设置</translation>
    </message>
    <message>
        <source>Big View Width:</source>
        <translation>大窗口宽度：</translation>
    </message>
</context>
<context>
    <name>JsonFile</name>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>无法创建文件夹 %1</translation>
    </message>
    <message>
        <source>a folder has the file&apos;s name</source>
        <translation>已有同名的文件夹</translation>
    </message>
</context>
<context>
    <name>KeyMapProfilePicker</name>
    <message>
        <source>Select KeyMapping Profile</source>
        <translation>选择按键映射方案</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>No KeyMap</source>
        <translation>不使用按键映射</translation>
    </message>
</context>
<context>
    <name>KeyMapping</name>
    <message>
        <source>key-mapping profiles</source>
        <translation>键位映射方案</translation>
    </message>
</context>
<context>
    <name>KeyMappingAddBox</name>
    <message>
        <source>Add New Key Mapping</source>
        <translation>添加按键映射</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Key:</source>
        <translation>按键：</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>点击</translation>
    </message>
    <message>
        <source>Swipe</source>
        <translation>滑动</translation>
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
        <translation>次数：</translation>
    </message>
    <message>
        <source>(1-10)</source>
        <translation>(1-10)</translation>
    </message>
    <message>
        <source>Start X:</source>
        <translation>起点 X：</translation>
    </message>
    <message>
        <source>Start Y:</source>
        <translation>起点 Y：</translation>
    </message>
    <message>
        <source>End X:</source>
        <translation>终点 X：</translation>
    </message>
    <message>
        <source>End Y:</source>
        <translation>终点 Y：</translation>
    </message>
    <message>
        <source>Duration:</source>
        <translation>时长：</translation>
    </message>
    <message>
        <source>(50-2000ms)</source>
        <translation>(50-2000毫秒)</translation>
    </message>
    <message>
        <source>This key is already mapped in this profile.</source>
        <translation>该按键在此方案中已有映射。</translation>
    </message>
    <message>
        <source>Press a key...</source>
        <translation>请按下一个按键...</translation>
    </message>
</context>
<context>
    <name>KeyMappingDialog</name>
    <message>
        <source>Key Mapping Settings</source>
        <translation>按键映射设置</translation>
    </message>
    <message>
        <source>Add New Mapping</source>
        <translation>添加映射</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Mapping Profile:</source>
        <translation>映射方案：</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新建</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Touch</source>
        <translation>点击</translation>
    </message>
    <message>
        <source>Swipe</source>
        <translation>滑动</translation>
    </message>
    <message>
        <source>Key</source>
        <translation>按键</translation>
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
        <translation>次数</translation>
    </message>
    <message>
        <source>Actions</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>起点</translation>
    </message>
    <message>
        <source>End</source>
        <translation>终点</translation>
    </message>
    <message>
        <source>Duration(ms)</source>
        <translation>时长(毫秒)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Create New Profile</source>
        <translation>新建方案</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>创建</translation>
    </message>
    <message>
        <source>Profile Name:</source>
        <translation>方案名称：</translation>
    </message>
    <message>
        <source>Enter profile name...</source>
        <translation>输入方案名称...</translation>
    </message>
    <message>
        <source>A profile of this name exists already.</source>
        <translation>已存在同名方案。</translation>
    </message>
    <message>
        <source>Delete Profile</source>
        <translation>删除方案</translation>
    </message>
    <message>
        <source>Are you sure you want to delete profile</source>
        <translation>确定要删除方案</translation>
    </message>
</context>
<context>
    <name>KeyMappingRow</name>
    <message>
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
</context>
<context>
    <name>KeyMappingSwipeEditBox</name>
    <message>
        <source>Edit Swipe Mapping</source>
        <translation>编辑滑动映射</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Key:</source>
        <translation>按键：</translation>
    </message>
    <message>
        <source>Start X:</source>
        <translation>起点 X：</translation>
    </message>
    <message>
        <source>Start Y:</source>
        <translation>起点 Y：</translation>
    </message>
    <message>
        <source>End X:</source>
        <translation>终点 X：</translation>
    </message>
    <message>
        <source>End Y:</source>
        <translation>终点 Y：</translation>
    </message>
    <message>
        <source>Duration(ms):</source>
        <translation>时长(毫秒)：</translation>
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
        <translation>暂无映射</translation>
    </message>
    <message>
        <source>Create a profile first</source>
        <translation>请先新建方案</translation>
    </message>
</context>
<context>
    <name>KeyMappingTouchEditBox</name>
    <message>
        <source>Edit Key Mapping</source>
        <translation>编辑按键映射</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Key:</source>
        <translation>按键：</translation>
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
        <translation>次数：</translation>
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
        <translation>键位映射（每个方案）</translation>
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
        <source>No Devices In This Group, Click To Scan</source>
        <translation>此分组没有设备，点击扫描</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Manage Device Groups</source>
        <translation>管理设备分组</translation>
    </message>
    <message>
        <source>Restart ADB Server</source>
        <translation>重启 ADB 服务</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>工具</translation>
    </message>
    <message>
        <source>Common Phrases</source>
        <translation>常用语</translation>
    </message>
    <message>
        <source>Key Mapping</source>
        <translation>按键映射</translation>
    </message>
    <message>
        <source>Member</source>
        <translation>会员</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>User Profile</source>
        <translation>用户资料</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>About APP</source>
        <translation>关于应用</translation>
    </message>
    <message>
        <source>APP Settings</source>
        <translation>应用设置</translation>
    </message>
    <message>
        <source>Please download the latest version %1 at:</source>
        <translation>请在以下地址下载最新版本 %1：</translation>
    </message>
    <message>
        <source>New Version Available</source>
        <translation>有新版本</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Data File Problem</source>
        <translation>数据文件问题</translation>
    </message>
    <message>
        <source>Wireless Pairing</source>
        <translation>无线配对</translation>
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
    <message>
        <source>Record Failed: the disk is full</source>
        <translation>录制失败：磁盘已满</translation>
    </message>
    <message>
        <source>Record Failed: the file could not be written</source>
        <translation>录制失败：无法写入文件</translation>
    </message>
    <message>
        <source>Record Failed: the disk is full, nothing was recorded</source>
        <translation>录制失败：磁盘已满，未录下任何内容</translation>
    </message>
    <message>
        <source>Record Failed: the file could not be written, nothing was recorded</source>
        <translation>录制失败：无法写入文件，未录下任何内容</translation>
    </message>
</context>
<context>
    <name>MemberLoginDialog</name>
    <message>
        <source>Member Login</source>
        <translation>会员登录</translation>
    </message>
    <message>
        <source>Invalid Email</source>
        <translation>邮箱无效</translation>
    </message>
    <message>
        <source>Please enter a valid email address.</source>
        <translation>请输入有效的邮箱地址。</translation>
    </message>
    <message>
        <source>Invalid Password</source>
        <translation>密码无效</translation>
    </message>
    <message>
        <source>Please enter a password with at least 8 characters.</source>
        <translation>请输入至少 8 个字符的密码。</translation>
    </message>
    <message>
        <source>Login Failed</source>
        <translation>登录失败</translation>
    </message>
    <message>
        <source>Please check your email and password.</source>
        <translation>请检查您的邮箱和密码。</translation>
    </message>
    <message>
        <source>Enter email address...</source>
        <translation>输入邮箱地址...</translation>
    </message>
    <message>
        <source>Enter password...</source>
        <translation>输入密码...</translation>
    </message>
    <message>
        <source>Forgot Password</source>
        <translation>忘记密码</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>Don&apos;t have an account? </source>
        <translation>还没有账号？</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>注册</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>MemberRegisterDialog</name>
    <message>
        <source>Member Register</source>
        <translation>会员注册</translation>
    </message>
    <message>
        <source>Invalid Email</source>
        <translation>邮箱无效</translation>
    </message>
    <message>
        <source>Please enter a valid email address.</source>
        <translation>请输入有效的邮箱地址。</translation>
    </message>
    <message>
        <source>Registration Successful</source>
        <translation>注册成功</translation>
    </message>
    <message>
        <source>Please check your email for the default password.</source>
        <translation>请查收邮件获取默认密码。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Registration failed, please try again.</source>
        <translation>注册失败，请重试。</translation>
    </message>
    <message>
        <source>Enter email address...</source>
        <translation>输入邮箱地址...</translation>
    </message>
    <message>
        <source>Please use a real email address, we will send a default password to your email.</source>
        <translation>请使用真实的邮箱地址，我们会将默认密码发送到您的邮箱。</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>注册</translation>
    </message>
    <message>
        <source>Already have an account? </source>
        <translation>已有账号？</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
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
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>PXRequest</name>
    <message>
        <source>The account service address must use https.</source>
        <translation>账户服务地址必须使用 https。</translation>
    </message>
    <message>
        <source>The account service sent a reply that is too large.</source>
        <translation>账户服务返回的回复过大。</translation>
    </message>
</context>
<context>
    <name>PhoneScreenGrid</name>
    <message>
        <source>Devices</source>
        <translation>设备</translation>
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
        <source>Clear All</source>
        <translation>全部清除</translation>
    </message>
    <message>
        <source>Start Group Control</source>
        <translation>开始群控</translation>
    </message>
    <message>
        <source>Portrait</source>
        <translation>竖屏</translation>
    </message>
    <message>
        <source>Landscape</source>
        <translation>横屏</translation>
    </message>
    <message>
        <source>More Group Actions</source>
        <translation>更多分组操作</translation>
    </message>
    <message>
        <source>Screenshot</source>
        <translation>截图</translation>
    </message>
    <message>
        <source>Install APK</source>
        <translation>安装 APK</translation>
    </message>
    <message>
        <source>Select APK File</source>
        <translation>选择 APK 文件</translation>
    </message>
    <message>
        <source>APK files (*.apk)</source>
        <translation>APK 文件 (*.apk)</translation>
    </message>
    <message>
        <source>Upload File</source>
        <translation>上传文件</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>Run AutoJS</source>
        <translation>运行 AutoJS</translation>
    </message>
    <message>
        <source>Select autojs Script</source>
        <translation>选择 autojs 脚本</translation>
    </message>
    <message>
        <source>autojs files (*.js)</source>
        <translation>autojs 文件 (*.js)</translation>
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
        <translation>设置</translation>
    </message>
    <message>
        <source>Group Controlling</source>
        <translation>群控中</translation>
    </message>
    <message>
        <source>Remove every phone from the group &quot;%1&quot;?</source>
        <translation>从分组&quot;%1&quot;中移除所有手机？</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Jobs</source>
        <translation>任务</translation>
    </message>
</context>
<context>
    <name>PhraseSelectionDialog</name>
    <message>
        <source>Select Phrase</source>
        <translation>选择常用语</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>No phrases yet: add categories and phrases under Tools, Common Phrases.</source>
        <translation>还没有短语：请在“工具 - 常用短语”中添加分类和短语。</translation>
    </message>
    <message>
        <source>No phrases in this category: add them under Tools, Common Phrases.</source>
        <translation>此分类中没有短语：请在“工具 - 常用短语”中添加。</translation>
    </message>
</context>
<context>
    <name>StoreErrors</name>
    <message>
        <source>device nicknames</source>
        <translation>设备昵称</translation>
    </message>
    <message>
        <source>device groups</source>
        <translation>设备分组</translation>
    </message>
    <message>
        <source>key mappings</source>
        <translation>键位映射</translation>
    </message>
    <message>
        <source>common phrases</source>
        <translation>常用语</translation>
    </message>
    <message>
        <source>The %1 file %2 is damaged or holds content that could not be used. A copy was kept as %3, and what could be used was loaded.</source>
        <translation>%1文件 %2 已损坏或含有无法使用的内容。已将其备份为 %3，并已载入可用的部分。</translation>
    </message>
    <message>
        <source>The %1 file %2 is too large to be loaded. It was set aside as %3, and the %1 start empty.</source>
        <translation>%1文件 %2 过大，无法载入。已将其移存为 %3，%1将从空白开始。</translation>
    </message>
    <message>
        <source>The %1 file %2 could not be read or copied aside. It is left as it is, and changes to the %1 are not saved until it can be read.</source>
        <translation>无法读取或备份%1文件 %2。该文件保持原样；在它能被读取之前，对%1的更改不会被保存。</translation>
    </message>
    <message>
        <source>The %1 could not be saved to %2 (%3). Your changes are kept until the application quits, and saving is tried again with the next change.</source>
        <translation>无法将%1保存到 %2（%3）。您的更改会保留到应用程序退出，并会在下次更改时再次尝试保存。</translation>
    </message>
    <message>
        <source>Not added: at most %1 %2 can be kept.</source>
        <translation>未添加：最多只能保存 %1 个%2。</translation>
    </message>
    <message>
        <source>Not saved: a name or text can have at most %1 characters.</source>
        <translation>未保存：名称或文本最多只能有 %1 个字符。</translation>
    </message>
</context>
<context>
    <name>UserProfileDialog</name>
    <message>
        <source>User Profile</source>
        <translation>用户资料</translation>
    </message>
    <message>
        <source>Email:</source>
        <translation>邮箱：</translation>
    </message>
    <message>
        <source>Not logged in</source>
        <translation>未登录</translation>
    </message>
    <message>
        <source>Verified:</source>
        <translation>已验证：</translation>
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
        <translation>修改密码</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>退出登录</translation>
    </message>
    <message>
        <source>Please enter old password</source>
        <translation>请输入旧密码</translation>
    </message>
    <message>
        <source>Please enter new password</source>
        <translation>请输入新密码</translation>
    </message>
    <message>
        <source>Password must be at least 8 characters</source>
        <translation>密码至少需要 8 个字符</translation>
    </message>
    <message>
        <source>Passwords do not match</source>
        <translation>两次输入的密码不一致</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Old Password</source>
        <translation>旧密码</translation>
    </message>
    <message>
        <source>Enter old password</source>
        <translation>输入旧密码</translation>
    </message>
    <message>
        <source>New Password</source>
        <translation>新密码</translation>
    </message>
    <message>
        <source>Enter new password</source>
        <translation>输入新密码</translation>
    </message>
    <message>
        <source>Confirm Password</source>
        <translation>确认密码</translation>
    </message>
    <message>
        <source>Confirm new password</source>
        <translation>再次输入新密码</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Password changed successfully, please login again.</source>
        <translation>密码修改成功，请重新登录。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
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
    <message>
        <source>Screenshot Failed: the folder %1 cannot be created (%2)</source>
        <translation>截图失败：无法创建文件夹 %1（%2）</translation>
    </message>
    <message>
        <source>Screenshot Failed: %1 cannot be written (%2)</source>
        <translation>截图失败：无法写入 %1（%2）</translation>
    </message>
</context>
<context>
    <name>DeviceHeader</name>
    <message>
        <source>%1 offline</source>
        <translation>%1 离线</translation>
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
        <translation>启动</translation>
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
        <translation>错误</translation>
    </message>
    <message>
        <source>This window cannot be opened.</source>
        <translation>无法打开此窗口。</translation>
    </message>
</context>
<context>
    <name>WirelessPairing</name>
    <message>
        <source>Enter the pairing address as IP:port, as the phone shows it</source>
        <translation>请按手机显示的格式输入配对地址（IP:端口）</translation>
    </message>
    <message>
        <source>The pairing code has six digits</source>
        <translation>配对码为六位数字</translation>
    </message>
    <message>
        <source>Enter the port of the phone&apos;s Wireless debugging screen (1 to 65535)</source>
        <translation>请输入手机“无线调试”页面上的端口（1 到 65535）</translation>
    </message>
    <message>
        <source>Wrong pairing code: check the code shown on the phone</source>
        <translation>配对码错误：请核对手机上显示的配对码</translation>
    </message>
    <message>
        <source>Cannot reach %1: check the address, and that the phone is on the same network with its pairing dialog open</source>
        <translation>无法连接 %1：请检查地址，并确认手机在同一网络且配对对话框已打开</translation>
    </message>
    <message>
        <source>Pairing failed: %1</source>
        <translation>配对失败：%1</translation>
    </message>
    <message>
        <source>Paired, but connecting to %1 failed: %2</source>
        <translation>已配对，但连接 %1 失败：%2</translation>
    </message>
    <message>
        <source>Connected to %1</source>
        <translation>已连接到 %1</translation>
    </message>
</context>
<context>
    <name>WirelessPairingDialog</name>
    <message>
        <source>Wireless Pairing</source>
        <translation>无线配对</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Pairing…</source>
        <translation>配对中…</translation>
    </message>
    <message>
        <source>Pair and Connect</source>
        <translation>配对并连接</translation>
    </message>
    <message>
        <source>On the phone: Developer options, Wireless debugging, Pair device with pairing code.</source>
        <translation>在手机上：开发者选项 → 无线调试 → 使用配对码配对设备。</translation>
    </message>
    <message>
        <source>Pairing address:</source>
        <translation>配对地址：</translation>
    </message>
    <message>
        <source>Pairing code:</source>
        <translation>配对码：</translation>
    </message>
    <message>
        <source>Connect port:</source>
        <translation>连接端口：</translation>
    </message>
    <message>
        <source>shown under IP address &amp; Port</source>
        <translation>显示在“IP 地址和端口”下</translation>
    </message>
</context>
<context>
    <name>HostFollower</name>
    <message>
        <source>Offline: the adb server %1 does not answer</source>
        <translation>离线：adb 服务器 %1 无响应</translation>
    </message>
    <message>
        <source>The adb server %1 answers again</source>
        <translation>adb 服务器 %1 已恢复响应</translation>
    </message>
</context>
</TS>
