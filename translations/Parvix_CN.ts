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
    <message>
        <source>This phone sent a video format the application cannot show</source>
        <translation>此手机发送的视频格式本程序无法显示</translation>
    </message>
    <message>
        <source>This phone sent a sound format the application cannot play</source>
        <translation>此手机发送的声音格式本程序无法播放</translation>
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
    <name>DeviceList</name>
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
    <name>DeviceSettings</name>
    <message>
        <source>nicknames</source>
        <translation>昵称</translation>
    </message>
</context>
<context>
    <name>DeviceView</name>
    <message>
        <source>Click To Start</source>
        <translation>点击启动</translation>
    </message>
    <message>
        <source>On Big Screen</source>
        <translation>大屏显示中</translation>
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
    <name>KeyMapping</name>
    <message>
        <source>key-mapping profiles</source>
        <translation>键位映射方案</translation>
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
        <source>Please download the latest version %1 at &lt;br/&gt;&lt;br/&gt; </source>
        <translation>请在以下地址下载最新版本 %1：&lt;br/&gt;&lt;br/&gt; </translation>
    </message>
    <message>
        <source>New Version Available</source>
        <translation>有新版本</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
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
        <source>🚩 Group Controlling</source>
        <translation>🚩 群控中</translation>
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
